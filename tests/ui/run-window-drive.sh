#!/usr/bin/env bash
# Runs the accessibility drive of the real window (window_drive.py) on a virtual display with its own
# session bus, where the accessibility bus starts on demand. Extra arguments go to window_drive.py
# (for example --screenshots DIR).
set -euo pipefail
: "${LF_SOURCE:?}" "${LF_BUILD:?}"
sample=$("$LF_SOURCE/scripts/make-sample.sh")
# The drive gets a session bus of its own; a keyring daemon of an outer session (the test keyring of
# ./test.sh) cannot answer on it, so let the new bus start its own instead of waiting for that one.
unset GNOME_KEYRING_CONTROL GNOME_KEYRING_PID
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
xvfb-run -a -s "-screen 0 ${LF_SCREEN:-1600x1000x24}" \
  dbus-run-session -- /usr/bin/python3 "$LF_SOURCE/tests/ui/window_drive.py" "$LF_BUILD/bin/lanternfold" "$sample" "$@"
