#!/usr/bin/python3
"""Drives the real Lanternfold window from outside, through the accessibility bus (AT-SPI), the way a
screen reader or a person would: open the sample folder, change the title, build, read the status
sentence, quit. Optionally takes screenshots of the whole screen on the way (for docs/).

Run under a display and a session bus, for example:
  xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- tests/ui/window_drive.py BINARY SAMPLE
With --screenshots DIR it also saves the welcome screen, each settings tab and a build in progress.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi


def wait_for(what, condition, timeout=60.0):
    """Polls condition until it gives something true; fails with what when the time is up."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = condition()
        except Exception:  # the tree changes under our feet while the window updates
            value = None
        if value:
            return value
        time.sleep(0.1)
    sys.exit(f"window drive: timed out waiting for {what}")


def find_app(process):
    def look():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == process.pid:
                return app
        return None
    return wait_for("Lanternfold on the accessibility bus", look)


def find(app, name, roles=None, prefix=False, showing=True):
    def matches(node):
        if node is None or not node.name:
            return False
        named = node.name.startswith(name) if prefix else node.name == name
        if not named:
            return False
        if roles is not None and node.getRole() not in roles:
            return False
        return not showing or node.getState().contains(pyatspi.STATE_SHOWING)
    return pyatspi.findDescendant(app, matches)


def label_ending(app, text):
    return pyatspi.findDescendant(
        app, lambda n: n is not None and n.getRole() == pyatspi.ROLE_LABEL and (n.name or "").endswith(text))


def label_starting(app, text):
    return pyatspi.findDescendant(
        app, lambda n: n is not None and n.getRole() == pyatspi.ROLE_LABEL and (n.name or "").startswith(text))


def press(app, name, roles, showing=True):
    node = wait_for(f"the control “{name}”", lambda: find(app, name, roles, showing=showing))
    action = node.queryAction()
    names = [action.getName(index).lower() for index in range(action.nActions)]
    for wanted in ("press", "toggle", "click", "activate"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return node
    sys.exit(f"window drive: “{name}” cannot be pressed")


def select_tab(app, name, control):
    """Presses the settings tab name and waits until control, a field on that tab, shows."""
    press(app, name, [pyatspi.ROLE_PAGE_TAB])
    wait_for(f"“{control}” on the tab “{name}”", lambda: find(app, control, [pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY]))


def screenshot(app, folder, name):
    """The main window's part of the screen, cut out by the window's extents on the bus."""
    if not folder:
        return
    time.sleep(0.6)  # let the window finish painting; only for the pictures, never for a check
    frame = wait_for("the main window", lambda: next(
        (w for w in app if w is not None and w.getRole() == pyatspi.ROLE_FRAME), None))
    box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    # The bus reports the window in Qt's scaled units; the screen is in pixels.
    scale = float(os.environ.get("QT_SCALE_FACTOR", "1"))
    crop = "{}x{}+{}+{}".format(*(round(v * scale) for v in (box.width, box.height, box.x, box.y)))
    subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", os.path.join(folder, name + ".png")],
                   check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("sample")
    parser.add_argument("--screenshots")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="lf-drive-")
    try:
        folder = os.path.join(work, "Sample Pictures")
        shutil.copytree(args.sample, folder)
        env = dict(os.environ)
        env.update({"XDG_CONFIG_HOME": os.path.join(work, "config"), "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                    "QT_ACCESSIBILITY": "1", "QT_QPA_PLATFORM": "xcb", "NO_AT_BRIDGE": "0"})

        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            welcome = subprocess.Popen([args.binary], env=env)
            app = find_app(welcome)
            wait_for("the welcome screen", lambda: find(app, "Open a Folder…", [pyatspi.ROLE_PUSH_BUTTON]))
            screenshot(app, args.screenshots, "window-welcome")
            welcome.terminate()
            welcome.wait(timeout=30)

        process = subprocess.Popen([args.binary, folder], env=env)
        app = find_app(process)
        status = wait_for("the status after opening", lambda: label_ending(app, " items in “Sample Pictures”"))
        print("status after opening:", status.name)

        title = wait_for("the Title field", lambda: find(app, "Title", [pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY]))
        title.queryEditableText().setTextContents("Seen from outside")
        project_file = os.path.join(folder, "lanternfold.json")
        wait_for("the new title in lanternfold.json",
                 lambda: os.path.exists(project_file) and json.load(open(project_file))["settings"]["title"] == "Seen from outside")
        print("title stored: Seen from outside")
        screenshot(app, args.screenshots, "window-gallery")
        if args.screenshots:
            select_tab(app, "Pictures", "Text")
            screenshot(app, args.screenshots, "window-pictures")
            select_tab(app, "Publish", "Site name")
            screenshot(app, args.screenshots, "window-publish")
            select_tab(app, "Gallery", "Title")

        # The sample asks to open the gallery in the browser when done; a test run has no use for that.
        toggle = wait_for("“Open in browser when done”",
                          lambda: find(app, "Open in browser when done", [pyatspi.ROLE_CHECK_BOX]))
        if toggle.getState().contains(pyatspi.STATE_CHECKED):
            press(app, "Open in browser when done", [pyatspi.ROLE_CHECK_BOX])
            wait_for("the browser toggle off", lambda: not toggle.getState().contains(pyatspi.STATE_CHECKED))
        press(app, "Build Gallery", [pyatspi.ROLE_PUSH_BUTTON])
        if args.screenshots:
            wait_for("the Stop button", lambda: find(app, "Stop", [pyatspi.ROLE_PUSH_BUTTON]), timeout=30)
            screenshot(app, args.screenshots, "window-building")
        done = wait_for("the status sentence of the build", lambda: label_starting(app, "Gallery ready in “"), timeout=300)
        print("status after building:", done.name)
        if done.name != "Gallery ready in “Sample Pictures gallery”.":
            sys.exit(f"window drive: unexpected status {done.name!r}")

        # Menu items are pressed through the bus without opening their menu.
        press(app, "Quit", [pyatspi.ROLE_MENU_ITEM], showing=False)
        code = process.wait(timeout=60)
        if code != 0:
            sys.exit(f"window drive: the program ended with status {code}")
        print("quit cleanly")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
