#!/usr/bin/env bash
# Renders the application icon resources/icons/lanternfold.svg into the PNG sizes a desktop asks for
# (hicolor theme layout). Run after changing the SVG; the PNGs are committed, so building the program
# does not need librsvg.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
for size in 16 22 24 32 48 64 128 256 512; do
  dir="$root/resources/icons/hicolor/${size}x${size}/apps"
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" "$root/resources/icons/lanternfold.svg" -o "$dir/lanternfold.png"
done
