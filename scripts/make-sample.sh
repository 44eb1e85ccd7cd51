#!/usr/bin/env bash
# Makes the sample pictures folder (samples/pictures, or the folder given as the only argument)
# from public tools: vips draws the pictures and their text, ffmpeg makes a short movie and a sound
# from its own test sources, exiftool writes the dates taken and captions. Nothing is downloaded.
#
# The folder holds a dozen pictures with dates taken and a few captions (one of them a camera's
# default caption, which the program ignores), a portrait picture stored sideways with EXIF
# orientation 6, a PNG with transparency, a two-second movie, a sound, and a lanternfold.json that
# sorts by date taken and types one caption.
#
# Quick when the folder is already made: a version stamp inside it says so. Raise the version when
# the contents change. The folder is made beside its destination and moved into place whole, so a
# run that stops half-way never leaves a half-made sample behind, and runs at the same time wait
# for each other. Prints the folder's path.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest=${1:-$root/samples/pictures}
version=2
stamp_name=.lanternfold-sample-version

made() { [ "$(cat "$dest/$stamp_name" 2>/dev/null)" = "$version" ]; }

if made; then
  echo "$dest"
  exit 0
fi

parent=$(dirname "$dest")
mkdir -p "$parent"
exec 9>"${TMPDIR:-/tmp}/lanternfold-make-sample-$(id -u).lock"
flock 9
# Another run may have made it while this one waited for the lock.
if made; then
  echo "$dest"
  exit 0
fi

work=$(mktemp -d "$parent/.$(basename "$dest").new.XXXXXX")
trap 'rm -rf "$work"' EXIT
out="$work/pictures"
tmp="$work/tmp"
mkdir -p "$out" "$tmp"

width=2000
height=1500
font="Nimbus Sans Bold"

# scene NAME SKY_TOP SKY_BOTTOM GROUND_RGB GROUND_TOP DISC_RGB DISC_X DISC_Y DISC_R LABEL [EXTRA...]
# A sky gradient, a ground band, a disc (sun, moon, buoy) and a label; EXTRA are further vips
# draw_rect or draw_circle argument lists ("rect|R G B|left top w h", "circle|R G B|x y r").
# Writes $tmp/NAME.v (sRGB, 3 bands) for the caller to save.
scene() {
  local name=$1 top=$2 bottom=$3 ground=$4 ground_top=$5 disc=$6 dx=$7 dy=$8 dr=$9 label=${10}
  shift 10
  local v="$tmp/$name.v"
  ffmpeg -v error -y -f lavfi \
    -i "gradients=s=${width}x${height}:c0=0x$top:c1=0x$bottom:x0=0:y0=0:x1=0:y1=$ground_top:nb_colors=2,format=rgb24" \
    -frames:v 1 "$tmp/$name-sky.png"
  vips copy "$tmp/$name-sky.png" "$v"
  vips draw_circle "$v" "$disc" "$dx" "$dy" "$dr" --fill
  vips draw_rect "$v" "$ground" 0 "$ground_top" "$width" $((height - ground_top)) --fill
  local extra kind ink geometry
  for extra in "$@"; do
    IFS='|' read -r kind ink geometry <<<"$extra"
    # shellcheck disable=SC2086
    vips "draw_$kind" "$v" "$ink" $geometry --fill
  done
  vips text "$tmp/$name-label.v" "<span foreground='white'>$label</span>" --rgba --dpi 300 --font "$font 26"
  vips composite2 "$v" "$tmp/$name-label.v" "$tmp/$name-labelled.v" over --x 90 --y $((height - 260))
  mv "$tmp/$name-labelled.v" "$v"
}

jpeg() { vips jpegsave "$tmp/$1.v" "$out/$2" --Q 82; }

scene arrival   87c6f0 e8f4ff "40 90 150" 1000 "255 255 255" 1500 300 120 "Arrival" \
  "rect|235 225 200|300 900 600 120"
jpeg arrival IMG_0009.jpg
scene dusk      ff9a3c 40206a "20 40 90" 1000 "255 230 150" 1400 700 220 "Harbour at dusk" \
  "rect|30 30 40|200 820 90 180" "rect|30 30 40|320 760 70 240" "rect|30 30 40|420 850 120 150"
jpeg dusk IMG_0010.jpg
scene morning   fde6c4 a9d6f5 "60 120 170" 950 "255 250 220" 400 420 160 "Morning"
jpeg morning IMG_0002.jpg
scene lighthouse 5b8fd6 cfe3f7 "70 110 60" 1100 "255 255 255" 1700 250 90 "Lighthouse" \
  "rect|240 240 240|900 400 200 700" "rect|200 40 40|900 550 200 90" "rect|200 40 40|900 800 200 90" \
  "rect|40 40 40|880 330 240 80"
jpeg lighthouse Lighthouse.JPG
scene market    f6d365 fda085 "150 110 80" 1050 "255 255 255" 1750 200 80 "Market stalls" \
  "rect|220 60 60|150 800 400 250" "rect|60 140 220|700 780 400 270" "rect|80 180 90|1250 820 450 230"
jpeg market IMG_0100.jpg
scene dunes     ffd89b 19547b "214 170 110" 1000 "255 245 200" 600 600 140 "Dunes" \
  "circle|200 150 95|500 1400 700" "circle|225 185 125|1500 1500 800"
jpeg dunes dunes.jpg
scene boat      74ebd5 acb6e5 "30 90 140" 1000 "255 255 255" 300 250 70 "Zoë’s boat" \
  "rect|250 250 250|900 920 500 90" "rect|120 70 40|1130 500 20 420" "rect|255 255 255|1150 520 220 360"
jpeg boat IMG_0011.jpg
scene beach     4facfe 00f2fe "240 215 160" 1000 "255 240 120" 1600 300 150 "Beach umbrellas" \
  "circle|230 60 80|600 1000 180" "circle|60 160 230|1200 1050 160" "rect|240 215 160|0 1040 2000 300"
jpeg beach beach.jpg
scene night     0b1026 2b3a67 "10 20 40" 1050 "240 240 220" 1500 350 110 "Stars over the bay" \
  "circle|255 255 255|300 200 6" "circle|255 255 255|700 420 5" "circle|255 255 255|1000 150 7" \
  "circle|255 255 255|1200 600 4" "circle|255 255 255|1800 700 6" "circle|255 255 255|500 700 5"
jpeg night night-sky.jpg
scene garden    d4fc79 96e6a1 "40 120 50" 1000 "255 210 60" 1650 300 130 "Garden" \
  "circle|230 80 120|500 950 90" "circle|250 200 60|800 1000 80" "circle|160 90 220|1200 960 100"
jpeg garden garden.jpg

# A portrait picture stored sideways: drawn upright at 1500x2000, stored turned a quarter turn to
# the left, with orientation 6 telling viewers to turn it back to the right.
width=1500 height=2000 scene tower 9bc5c3 eef2f3 "90 90 100" 1650 "255 255 255" 1200 300 100 "The tower" \
  "rect|180 160 140|550 500 400 1150" "rect|120 100 90|600 420 300 90" "rect|60 60 80|700 800 100 160" \
  "rect|60 60 80|700 1200 100 160"
vips rot "$tmp/tower.v" "$tmp/tower-sideways.v" d270
jpeg tower-sideways portrait.jpg

# A PNG with transparency: a ring and a word on a transparent background.
vips black "$tmp/logo-black.v" 1200 1200 --bands 4
vips copy "$tmp/logo-black.v" "$tmp/logo.v" --interpretation srgb
vips draw_circle "$tmp/logo.v" "240 160 48 255" 600 520 420 --fill
vips draw_circle "$tmp/logo.v" "0 0 0 0" 600 520 300 --fill
vips text "$tmp/logo-label.v" "<span foreground='#2060c0'>Lanternfold</span>" --rgba --dpi 300 --font "$font 30"
vips composite2 "$tmp/logo.v" "$tmp/logo-label.v" "$tmp/logo-labelled.v" over --x 250 --y 1000
vips pngsave "$tmp/logo-labelled.v" "$out/logo.png"

# A two-second movie with a tone, and a three-second sound.
ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=2" -f lavfi -i "sine=f=440:d=2" \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 96k -shortest -movflags +faststart "$out/waves.mp4"
ffmpeg -v error -y -f lavfi -i "sine=f=523.25:d=3" -c:a aac -b:a 96k "$out/seagulls.m4a"

# Dates taken and captions, in one exiftool run. -n writes values exactly as given, and IPTC text
# is declared UTF-8. The Olympus caption carries the NUL padding real cameras write.
printf 'OLYMPUS DIGITAL CAMERA  \0\0\0\0\0\0\0\0' >"$tmp/olympus.txt"
cat >"$tmp/exif.args" <<EOF
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:13 16:45:10
$out/IMG_0009.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:13 20:58:31
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=Harbour at dusk
$out/IMG_0010.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:14 09:12:40
-Make=OLYMPUS IMAGING CORP.
-ImageDescription<=$tmp/olympus.txt
$out/IMG_0002.jpg
-execute
-overwrite_original
-n
-q
-q
-ModifyDate=2023:07:14 11:03:00
-ImageDescription=The old lighthouse
$out/Lighthouse.JPG
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:14 12:30:00
-Orientation=6
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=The tower, stored sideways
$out/portrait.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:14 15:20:05
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=Market stalls
$out/IMG_0100.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:15 07:02:03.45+02:00
$out/dunes.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:15 10:10:10
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=Zoë’s boat, the «Étoile»
$out/IMG_0011.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:15 13:45:00
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=Beach umbrellas
$out/beach.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:15 23:10:00
-IPTC:CodedCharacterSet=UTF8
-IPTC:Caption-Abstract=Stars over the bay
$out/night-sky.jpg
-execute
-overwrite_original
-n
-q
-q
-DateTimeOriginal=2023:07:16 09:00:00
$out/garden.jpg
EOF
exiftool -@ "$tmp/exif.args"

# Movies, sounds and the PNG have no date taken; their file dates place them in the day.
touch -d "2023-07-14 16:00:00 +0200" "$out/waves.mp4"
touch -d "2023-07-15 17:30:00 +0200" "$out/seagulls.m4a"
touch -d "2023-07-16 12:00:00 +0200" "$out/logo.png"

# The project file: sorted by date taken, with one typed caption.
cat >"$out/lanternfold.json" <<'EOF'
{
  "app": "Lanternfold",
  "version": "1.0",
  "settings": {
    "title": "Summer by the Sea",
    "description": "Four days on the coast, made by scripts/make-sample.sh.",
    "sort": "date"
  },
  "captions": {
    "IMG_0009.jpg": "We arrive"
  },
  "order": [],
  "output": ""
}
EOF

echo "$version" >"$out/$stamp_name"
rm -rf "$dest"
mv "$out" "$dest"
echo "$dest"
