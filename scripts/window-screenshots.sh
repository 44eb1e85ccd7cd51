#!/usr/bin/env bash
# Screenshots of the real window for docs/: the welcome screen, the sample folder open on each
# settings tab and a build in progress, at 1x and (into docs/2x/) at twice the scale. Drives the
# program through the accessibility bus, like tests/ui/window_drive.py does in the tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LF_SOURCE="$root" LF_BUILD="$root/build"
out=${1:-$root/docs}
"$root/tests/ui/run-window-drive.sh" --screenshots "$out"
QT_SCALE_FACTOR=2 LF_SCREEN=2600x1700x24 "$root/tests/ui/run-window-drive.sh" --screenshots "$out/2x"
echo "Screenshots in $out and, at twice the scale, in $out/2x." >&2
