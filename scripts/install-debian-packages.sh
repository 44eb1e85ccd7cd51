#!/usr/bin/env bash
# Installs whichever Debian packages of the given list files (one package a line, # comments) are
# not fully installed yet. Used by setup.sh for scripts/debian-packages.txt and by fuzz.sh for
# scripts/fuzz-packages.txt.
set -euo pipefail
missing=()
for list in "$@"; do
  for pkg in $(grep -Ev '^\s*(#|$)' "$list"); do
    # A package counts as present only when dpkg says it is fully installed.
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      # nodejs and npm may come from elsewhere on a developer machine; a working node is enough.
      case "$pkg" in
        nodejs) command -v node >/dev/null 2>&1 && continue ;;
        npm) command -v npm >/dev/null 2>&1 && continue ;;
      esac
      missing+=("$pkg")
    fi
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing Debian packages: ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
