#!/usr/bin/env bash
# Installs the other gallery generators the benchmark compares Lanternfold with. Run by hand before
# bench/gallery-bench.sh; kept out of scripts/setup.sh so that building and testing Lanternfold never
# installs them. thumbsup comes from npm into bench/peers/node_modules, the rest from Debian.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

packages=(
  time                    # /usr/bin/time -v for peak memory
  libvips-tools           # vipsthumbnail, and vips to make the pictures
  libimage-exiftool-perl  # dates in the generated pictures; thumbsup reads metadata with it
  graphicsmagick          # thumbsup resizes with it
  ffmpeg                  # thumbsup needs it even for photo-only folders
  lazygal
  fgallery
  nodejs npm              # thumbsup runs on Node.js
)
missing=()
for pkg in "${packages[@]}"; do
  # Node.js may come from elsewhere on a developer machine; a working node and npm are enough.
  case "$pkg" in
    nodejs) command -v node >/dev/null 2>&1 && continue ;;
    npm) command -v npm >/dev/null 2>&1 && continue ;;
  esac
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# fgallery's own helpers (jpegoptim, pngcrush, facedetect) are only recommended by its package.
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  imagemagick jpegoptim pngcrush p7zip-full >/dev/null 2>&1 || true

cd "$here/peers"
if [ -f package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
else
  npm install --no-audit --no-fund --loglevel=error
fi
