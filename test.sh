#!/usr/bin/env bash
# Sets up what is missing, builds Lanternfold and runs every test: unit tests, integration tests
# against real servers started on loopback, widget tests offscreen and browser tests in headless
# Chromium. Extra arguments go to ctest (for example -R model or -L cloudflare).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh" Release
"$root/scripts/make-sample.sh" >/dev/null

export QT_QPA_PLATFORM=offscreen
# Dates in test fixtures are checked in a fixed zone unless a test sets its own.
export TZ=${TZ:-Europe/Berlin}
# Tests run against a private session bus with an unlocked Secret Service, never the user's keyring.
exec dbus-run-session -- "$root/scripts/with-test-keyring.sh" \
  ctest --test-dir "$root/build" --output-on-failure --parallel 2 "$@"
