#!/usr/bin/env bash
# Times gallery discovery against the local Cloudflare double: SITES galleries (40 by default) whose
# reads each take one second are read at once, so the whole account takes about one second, not
# SITES; one site that never answers costs at most the 8 second time-out of a site read.
# Usage: bench/discovery/run.sh [SITES]   (after scripts/setup.sh has built build/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sites=${1:-40}
work="$root/build/bench-discovery"
mkdir -p "$work"

cmake -S "$root/bench/discovery" -B "$work/build" -G Ninja -DLF_BUILD_DIR="$root/build" >/dev/null
cmake --build "$root/build" --target lf_engine >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/discovery_bench" "$sites" "$work/sites"
