#!/usr/bin/env bash
# Sets up what is missing, builds Lanternfold in Release mode and starts it. On a machine without a
# display it builds the bundled sample folder into a gallery instead and says where it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh" Release
"$root/scripts/make-sample.sh" >/dev/null
bin="$root/build/bin/lanternfold"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin" "$@"
fi
echo "No display found; building the sample folder into a gallery instead of opening the window." >&2
index=$("$bin" build "$root/samples/pictures")
echo "The sample gallery is ready: $index"
