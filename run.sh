#!/usr/bin/env bash
# Sets up what is missing, builds Lanternfold in Release mode and starts it. With arguments, they go
# to the lanternfold command (for example ./run.sh list ~/Pictures/Rome). Without arguments, until
# the main window lands, it builds the bundled sample folder into a gallery and says where it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh" Release
"$root/scripts/make-sample.sh" >/dev/null
bin="$root/build/bin/lanternfold"
if [ $# -gt 0 ]; then
  exec "$bin" "$@"
fi
echo "Building the sample folder samples/pictures into a gallery." >&2
index=$("$bin" build "$root/samples/pictures")
echo "The sample gallery is ready: $index"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xdg-open >/dev/null 2>&1; then
  xdg-open "$index" >/dev/null 2>&1 || true
fi
