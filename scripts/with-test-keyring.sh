#!/usr/bin/env bash
# Runs a command with a fresh, unlocked gnome-keyring Secret Service on the current session bus and
# private home and config folders, so tests never touch the user's own keyring or preferences.
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/lanternfold-test-home.XXXXXX")
trap 'kill "${keyring_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
       XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The daemon reads the login password on standard input and prints its environment.
eval "$(printf 'test-password' | gnome-keyring-daemon --unlock --components=secrets --daemonize 2>/dev/null)"
keyring_pid=${GNOME_KEYRING_PID:-}
export GNOME_KEYRING_CONTROL
"$@"
