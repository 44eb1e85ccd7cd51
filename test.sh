#!/usr/bin/env bash
# Sets up what is missing, builds Lanternfold and runs every test: unit tests, integration tests
# against real servers started on loopback, widget tests offscreen and browser tests in headless
# Chromium. Extra arguments go to ctest (for example -R model or -L cloudflare).
#
# ./test.sh --sanitize builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan
# and runs the same tests there; ./test.sh --sanitize=thread builds with ThreadSanitizer into
# build-tsan and runs the tests of our own threads: the build, the build flow and the command line.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

sanitize=
case "${1:-}" in
  --sanitize|--sanitize=address) sanitize=address; shift ;;
  --sanitize=thread) sanitize=thread; shift ;;
  --sanitize=*) echo "Unknown sanitizer: ${1#--sanitize=} (address or thread)" >&2; exit 2 ;;
esac

build_dir="$root/build"
selection=()
if [ -z "$sanitize" ]; then
  "$root/scripts/setup.sh" Release
else
  # Optimised with debug information, so reports name lines and the run stays quick enough.
  "$root/scripts/setup.sh" RelWithDebInfo "$sanitize"
  if [ "$sanitize" = address ]; then
    build_dir="$root/build-asan"
    # Leak reports come from libraries that keep one-off allocations for the life of the process
    # (fontconfig, GLib, Qt's plugin loader); memory errors and undefined behaviour are what counts.
    # Any report fails the test that caused it.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  else
    build_dir="$root/build-tsan"
    # The system libraries (GLib, libvips, the codecs, Qt) are not built with ThreadSanitizer and
    # synchronise their own threads in ways it cannot see (GLib's and Qt's mutexes are futexes), so
    # what they do themselves is not checked. That leaves our own threads, which meet only through
    # the standard library's primitives: the parallel build's workers, the build flow with its stop
    # token, the discovery's transfers and the command line around them. Tests that hand results
    # from Qt's thread pool to its event loop (the store, the thumbnail loader, the home model and
    # `lanternfold home`, which runs on it) would need a Qt built with ThreadSanitizer to be judged,
    # and are left out.
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1}
    if [ $# -eq 0 ]; then
      selection=(-R '^(builder|app|cli|home)\.'
                 -E '^(app\.(Store|StoreBuild|StorePublish|StoreUpload|ThumbLoaderTest)|home\.(HomeModelTest|HomeTwinTest)|cli\.HomeCommand)\.')
    fi
  fi
fi
"$root/scripts/make-sample.sh" >/dev/null

export QT_QPA_PLATFORM=offscreen
# Dates in test fixtures are checked in a fixed zone unless a test sets its own.
export TZ=${TZ:-Europe/Berlin}
# Tests run against a private session bus with an unlocked Secret Service, never the user's keyring.
exec dbus-run-session -- "$root/scripts/with-test-keyring.sh" \
  ctest --test-dir "$build_dir" --output-on-failure --parallel 2 "${selection[@]}" "$@"
