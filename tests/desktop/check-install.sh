#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the layout desktops and the program rely on.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$LF_BUILD" --prefix "$work/usr" >/dev/null
fail=0
expect() {
  if [ ! -f "$work/usr/$1" ]; then echo "missing after install: $1" >&2; fail=1; fi
}
expect bin/lanternfold
expect share/lanternfold/worker.js
expect share/applications/lanternfold.desktop
expect share/metainfo/io.github.lanternfold.Lanternfold.metainfo.xml
expect share/icons/hicolor/scalable/apps/lanternfold.svg
for size in 16 22 24 32 48 64 128 256 512; do
  png="share/icons/hicolor/${size}x${size}/apps/lanternfold.png"
  expect "$png"
  # Each size must really be drawn at that size, or desktops show it blurred.
  if [ -f "$work/usr/$png" ]; then
    dims=$(file -b "$work/usr/$png" | grep -o '[0-9]* x [0-9]*')
    [ "$dims" = "$size x $size" ] || { echo "$png is $dims" >&2; fail=1; }
  fi
done
# The installed program finds the password program beside itself, whatever prefix it was built for.
[ -x "$work/usr/bin/lanternfold" ] || { echo "bin/lanternfold is not executable" >&2; fail=1; }
"$work/usr/bin/lanternfold" --version >/dev/null || { echo "the installed program does not run" >&2; fail=1; }
# The installed desktop entry is still valid and names the installed icon and program.
desktop-file-validate "$work/usr/share/applications/lanternfold.desktop" || fail=1
grep -qx 'Icon=lanternfold' "$work/usr/share/applications/lanternfold.desktop" || { echo "Icon= is not lanternfold" >&2; fail=1; }
grep -q '^Exec=lanternfold %f$' "$work/usr/share/applications/lanternfold.desktop" || { echo "Exec= does not take a folder" >&2; fail=1; }
appstreamcli validate --no-net "$work/usr/share/metainfo/io.github.lanternfold.Lanternfold.metainfo.xml" >/dev/null || fail=1
exit $fail
