#!/usr/bin/env bash
# Makes the sample pictures folder (samples/pictures) from public tools. Placeholder until the
# model work lands: an empty folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$root/samples/pictures"
echo "$root/samples/pictures"
