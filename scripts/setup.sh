#!/usr/bin/env bash
# Installs what Lanternfold needs (Debian packages, then the npm packages of the test doubles and
# browser tests) and configures and builds it with CMake. Quick and quiet when everything is there.
# Usage: scripts/setup.sh [Release|Debug] [address|thread]
# With a sanitizer (address means AddressSanitizer with UndefinedBehaviorSanitizer) it builds into
# build-asan or build-tsan, so the normal build folder stays as it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_type=${1:-Release}
sanitize=${2:-}

"$root/scripts/install-debian-packages.sh" "$root/scripts/debian-packages.txt"

# npm packages of the test doubles and browser tests, each folder with its own lock file.
for dir in "$root"/tests/* "$root"/tests/twins/*; do
  [ -f "$dir/package.json" ] || continue
  if [ ! -d "$dir/node_modules" ] || [ "$dir/package.json" -nt "$dir/node_modules/.lanternfold-installed" ] \
     || { [ -f "$dir/package-lock.json" ] && [ "$dir/package-lock.json" -nt "$dir/node_modules/.lanternfold-installed" ]; }; then
    echo "Installing npm packages in ${dir#$root/}" >&2
    if [ -f "$dir/package-lock.json" ]; then
      (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >&2)
    else
      (cd "$dir" && npm install --no-audit --no-fund --loglevel=error >&2)
    fi
    touch "$dir/node_modules/.lanternfold-installed"
  fi
done

build_dir="$root/build"
[ "$build_type" = Release ] || build_dir="$root/build-$build_type"
case "$sanitize" in
  '') ;;
  address) build_dir="$root/build-asan" ;;
  thread) build_dir="$root/build-tsan" ;;
  *) echo "Unknown sanitizer: $sanitize (address or thread)" >&2; exit 2 ;;
esac
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  launcher=()
  # ccache makes a fresh build folder (a second checkout, a sanitizer build) cheap; paths below the
  # checkout are taken relative so that two checkouts share one cache.
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  flags=()
  # A sanitizer build compiles about twice as slowly as a plain one at -O2 with full debug
  # information; -O1 with line tables only halves that, keeps the runs quick and still names the
  # file and line of every frame in a report.
  if [ -n "$sanitize" ] && [ "$build_type" = RelWithDebInfo ]; then
    flags=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
  fi
  cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DLF_SANITIZE="$sanitize" \
    "${flags[@]}" "${launcher[@]}" >&2
fi
export CCACHE_BASEDIR="$root"
cmake --build "$build_dir" --parallel "$(nproc)" >&2
