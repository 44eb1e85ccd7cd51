#!/usr/bin/env bash
# Sets up what is missing, builds Lanternfold in Release mode and starts it. With arguments, they go
# to the lanternfold command (for example ./run.sh list ~/Pictures/Rome). Without arguments it opens
# the main window when there is a display; without one it builds the bundled sample folder into a
# gallery and says where it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh" Release
"$root/scripts/make-sample.sh" >/dev/null
bin="$root/build/bin/lanternfold"
if [ $# -gt 0 ]; then
  exec "$bin" "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Lanternfold. Open a folder of pictures, or try the sample folder $root/samples/pictures." >&2
  exec "$bin"
fi
echo "There is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open." >&2
echo "Building the sample folder samples/pictures into a gallery with the command line instead." >&2
index=$("$bin" build "$root/samples/pictures")
echo "The sample gallery is ready: $index"
