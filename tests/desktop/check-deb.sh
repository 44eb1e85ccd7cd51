#!/usr/bin/env bash
# Makes the Debian package with cpack and checks its control data and contents. Installing it on a
# clean system is not possible here; the declared dependencies are what such an install relies on.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$LF_BUILD/CPackConfig.cmake" -B "$work" >/dev/null)
deb=$(ls "$work"/lanternfold_*.deb)
info=$(dpkg-deb -I "$deb")
contents=$(dpkg-deb -c "$deb")
fail=0
field() { printf '%s\n' "$info" | sed -n "s/^ $1: //p"; }
depends=$(field Depends)
echo "Depends: $depends"
# The libraries the program links, found by dpkg-shlibdeps, and what it needs at run time.
for dep in libqt6widgets6 libqt6gui6 libvips42 libcairo2 libexiv2 libavformat libcurl4 libsecret-1-0 \
           libicu libssl3 curl libqt6svg6 qt6-qpa-plugins; do
  printf '%s' "$depends" | grep -q "$dep" || { echo "Depends lacks $dep" >&2; fail=1; }
done
[ "$(field Package)" = lanternfold ] || { echo "wrong package name" >&2; fail=1; }
[ "$(field Section)" = graphics ] || { echo "wrong section" >&2; fail=1; }
for path in ./usr/bin/lanternfold ./usr/share/lanternfold/worker.js ./usr/share/applications/lanternfold.desktop \
            ./usr/share/icons/hicolor/scalable/apps/lanternfold.svg ./usr/share/icons/hicolor/256x256/apps/lanternfold.png \
            ./usr/share/metainfo/io.github.lanternfold.Lanternfold.metainfo.xml; do
  printf '%s\n' "$contents" | grep -q " $path\$" || { echo "package lacks $path" >&2; fail=1; }
done
exit $fail
