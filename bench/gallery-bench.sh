#!/usr/bin/env bash
# Times Lanternfold against other gallery generators on one generated folder of camera-sized JPEGs.
# Usage: bench/gallery-bench.sh [N]      (N pictures, 100 by default)
# Run bench/setup-peers.sh once first. Not part of ./test.sh: it takes minutes and needs the peers.
# Environment: LANTERNFOLD=path times another lanternfold program (an older build, say) instead of
# build/bin/lanternfold; BENCH_PEERS=no leaves out thumbsup, lazygal and fgallery, for a quick
# comparison with libvips alone; BENCH_WORK=folder keeps the pictures elsewhere; BENCH_SMALL=M sets
# the number of small pictures (1000 by default, 0 leaves that run out); BENCH_JOBS=J passes
# --jobs J to Lanternfold.
#
# For each tool it measures a full build into an empty folder, a rebuild with nothing changed and,
# where the tool has captions of its own, a rebuild after one caption change. It prints seconds,
# seconds per item, peak memory (maximum resident set size of the largest process, from
# /usr/bin/time -v) and the ratio to Lanternfold's time for the same step, and writes the table and a
# description of the machine to bench/results/.
#
# The machine's limit: libvips alone (bench/reference/vips_reference.cpp) making the same display
# picture and square with one decode per picture, once in one process and once split over as many
# processes as there are cores. Lanternfold's full build is reported as a ratio to the latter.
# The small pictures (640 × 480) show the cost per item when decoding is cheap and the work around
# it (opening files, writing, bookkeeping) dominates.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-100}
work=${BENCH_WORK:-$here/work}
pictures="$work/pictures-$count"
lanternfold=${LANTERNFOLD:-$root/build/bin/lanternfold}
peers=${BENCH_PEERS:-yes}
small_count=${BENCH_SMALL:-1000}
jobs_option=()
[ -n "${BENCH_JOBS:-}" ] && jobs_option=(--jobs "$BENCH_JOBS")
cores=$(nproc)
results="$here/results"
mkdir -p "$work" "$results"

[ -x "$lanternfold" ] || { echo "Build Lanternfold first (./run.sh or scripts/setup.sh)." >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "Run bench/setup-peers.sh first." >&2; exit 1; }

# --- The pictures: 6000 × 4000 (24 megapixels), smooth shapes, fine texture and sensor-like noise in
# each channel, saved at quality 92 like a camera, with camera EXIF and distinct dates taken.
make_pictures() {
  mkdir -p "$pictures"
  local tmp
  tmp=$(mktemp -d)
  for i in $(seq 1 "$count"); do
    local name
    name=$(printf 'DSC_%04d.JPG' "$i")
    [ -f "$pictures/$name" ] && continue
    for band in 0 1 2; do
      local seed=$((i * 3 + band))
      vips perlin "$tmp/coarse.v" 6000 4000 --cell-size 700 --seed "$seed"
      vips perlin "$tmp/fine.v" 6000 4000 --cell-size 24 --seed "$((seed + 1000))"
      vips gaussnoise "$tmp/noise.v" 6000 4000 --sigma 7 --mean 0 --seed "$((seed + 2000))"
      vips linear "$tmp/coarse.v" "$tmp/a.v" 95 "$((110 + band * 12))"
      vips linear "$tmp/fine.v" "$tmp/b.v" 28 0
      vips add "$tmp/a.v" "$tmp/b.v" "$tmp/c.v"
      vips add "$tmp/c.v" "$tmp/noise.v" "$tmp/band$band.v"
    done
    vips bandjoin "$tmp/band0.v $tmp/band1.v $tmp/band2.v" "$tmp/rgb.v"
    vips cast "$tmp/rgb.v" "$tmp/rgb8.v" uchar
    vips copy "$tmp/rgb8.v" "$pictures/$name[Q=92]" --interpretation srgb
    local day=$(( (i - 1) % 28 + 1 ))
    exiftool -q -overwrite_original -Make=NIKON -Model="D750" -ISO=400 -FNumber=5.6 -ExposureTime=1/250 \
      -DateTimeOriginal="$(printf '2024:07:%02d %02d:%02d:00' "$day" $(( (i * 7) % 24 )) $(( i % 60 )))" \
      "$pictures/$name"
  done
  rm -rf "$tmp"
}

# --- The small pictures: 640 × 480 frames of a moving test pattern, every one different.
make_small_pictures() {
  local folder=$1 wanted=$2
  if [ "$(find "$folder" -name '*.jpg' 2>/dev/null | wc -l)" -ne "$wanted" ]; then
    rm -rf "$folder"
    mkdir -p "$folder"
    ffmpeg -loglevel error -f lavfi -i "testsrc2=size=640x480:rate=25" -frames:v "$wanted" -q:v 3 "$folder/small_%05d.jpg"
  fi
}

# --- The libvips reference program, built here against the system's libvips only.
reference="$work/vips_reference"
if [ ! -x "$reference" ] || [ "$here/reference/vips_reference.cpp" -nt "$reference" ]; then
  # shellcheck disable=SC2046
  c++ -O2 -std=c++20 -o "$reference" "$here/reference/vips_reference.cpp" $(pkg-config --cflags --libs vips-cpp)
fi

# Runs the reference over the pictures in one process or split over PROCESSES processes.
reference_run() {  # reference_run PROCESSES OUTPUT PICTURE...
  local processes=$1 into=$2
  shift 2
  local per=$(( ($# + processes - 1) / processes ))
  printf '%s\0' "$@" | xargs -0 -P "$processes" -n "$per" "$reference" "$into"
}
export -f reference_run
export reference

# --- Measuring. Each run appends "tool<TAB>step<TAB>seconds<TAB>peak kB<TAB>items" to $table.
table=$(mktemp)
measure() {  # measure TOOL STEP command...
  local tool=$1 step=$2
  local items=${ITEMS:-$count}
  shift 2
  local log
  log=$(mktemp)
  sync
  if /usr/bin/time -v -o "$log.time" "$@" >"$log" 2>&1; then
    local seconds peak
    seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$log.time")
    peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log.time")
    printf '%s\t%s\t%s\t%s\t%s\n' "$tool" "$step" "$seconds" "$peak" "$items" >>"$table"
    printf '  %-20s %-16s %8.2f s  %6d MB\n' "$tool" "$step" "$seconds" $((peak / 1024)) >&2
  else
    printf '%s\t%s\tfailed\t0\t%s\n' "$tool" "$step" "$items" >>"$table"
    echo "  $tool $step failed; last lines:" >&2
    tail -5 "$log" >&2
  fi
  rm -f "$log" "$log.time"
}

echo "Making $count pictures in $pictures…" >&2
make_pictures

out="$work/out"
rm -rf "$out"
mkdir -p "$out"

echo "Lanternfold" >&2
rm -f "$pictures/lanternfold.json"
measure lanternfold full "$lanternfold" build "$pictures" --output "$out/lanternfold" "${jobs_option[@]}"
measure lanternfold unchanged "$lanternfold" build "$pictures" --output "$out/lanternfold" "${jobs_option[@]}"
/usr/bin/python3 - "$pictures/lanternfold.json" <<'PY'
import json, sys
path = sys.argv[1]
with open(path) as f:
    project = json.load(f)
project.setdefault("captions", {})["DSC_0001.JPG"] = "A caption typed for the benchmark"
with open(path, "w") as f:
    json.dump(project, f, indent=2)
PY
measure lanternfold caption "$lanternfold" build "$pictures" --output "$out/lanternfold" "${jobs_option[@]}"
rm -f "$pictures/lanternfold.json"

echo "libvips alone, one decode per picture (display picture, then the square cut from it)" >&2
measure "libvips 1 process" full bash -c 'reference_run 1 "$0" "$@"' "$out/vips-1" "$pictures"/*.JPG
measure "libvips $cores processes" full bash -c "reference_run $cores \"\$0\" \"\$@\"" "$out/vips-$cores" "$pictures"/*.JPG

echo "vipsthumbnail (the same two sizes: 1600 px pictures at quality 85, 440 px squares at 78)" >&2
mkdir -p "$out/vips/images" "$out/vips/thumbs"
measure vipsthumbnail full bash -c "vipsthumbnail --size 1600 -o '$out/vips/images/%s.jpg[Q=85,strip]' '$pictures'/*.JPG && \
  vipsthumbnail --size 440x440 --smartcrop centre -o '$out/vips/thumbs/%s.jpg[Q=78,strip]' '$pictures'/*.JPG"

thumbsup="$here/peers/node_modules/.bin/thumbsup"
if [ "$peers" = no ]; then
  echo "Peers left out (BENCH_PEERS=no)" >&2
elif [ -x "$thumbsup" ]; then
  echo "thumbsup" >&2
  for step in full unchanged; do
    measure thumbsup "$step" "$thumbsup" --input "$pictures" --output "$out/thumbsup" \
      --thumb-size 440 --large-size 1600 --photo-quality 85 --photo-download symlink --log default
  done
else
  echo "thumbsup not installed (bench/setup-peers.sh)" >&2
fi

if [ "$peers" = no ]; then
  :
elif command -v lazygal >/dev/null; then
  echo "lazygal" >&2
  for step in full unchanged; do
    measure lazygal "$step" lazygal --quiet -o "$out/lazygal" -s large=1600x1600 -T 440x440 -q 85 "$pictures"
  done
else
  echo "lazygal not installed (bench/setup-peers.sh)" >&2
fi

if [ "$peers" = no ]; then
  :
elif command -v fgallery >/dev/null; then
  echo "fgallery" >&2
  # fgallery always starts again: it refuses an existing output folder unless told to overwrite.
  measure fgallery full fgallery -s -d -k --quality 85 --max-full 1600x1600 --max-thumb 440x440 "$pictures" "$out/fgallery"
  measure fgallery unchanged bash -c "rm -rf '$out/fgallery' && fgallery -s -d -k --quality 85 --max-full 1600x1600 --max-thumb 440x440 '$pictures' '$out/fgallery'"
else
  echo "fgallery not installed (bench/setup-peers.sh)" >&2
fi

if [ "$small_count" -gt 0 ]; then
  small="$work/small-$small_count"
  echo "Making $small_count small pictures in $small…" >&2
  make_small_pictures "$small" "$small_count"
  rm -f "$small/lanternfold.json"
  echo "Small pictures" >&2
  ITEMS=$small_count measure lanternfold "small full" "$lanternfold" build "$small" --output "$out/small" "${jobs_option[@]}"
  ITEMS=$small_count measure lanternfold "small unchanged" "$lanternfold" build "$small" --output "$out/small" "${jobs_option[@]}"
  ITEMS=$small_count measure "libvips 1 process" "small full" bash -c 'reference_run 1 "$0" "$@"' "$out/vips-small-1" "$small"/*.jpg
  ITEMS=$small_count measure "libvips $cores processes" "small full" bash -c "reference_run $cores \"\$0\" \"\$@\"" "$out/vips-small-$cores" "$small"/*.jpg
  rm -f "$small/lanternfold.json"
fi

# --- The table.
stamp=$(date -u +%Y-%m-%dT%H%M%SZ)
report="$results/$stamp-n$count.md"
{
  echo "# Gallery build benchmark, $count pictures of 24 megapixels"
  echo
  echo "Run $stamp on:"
  echo
  echo '```'
  echo "CPU:     $(lscpu | awk -F': +' '/Model name/ {print $2; exit}'), $(nproc) usable cores"
  echo "Memory:  $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "System:  $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
  echo "libvips: $(vips --version)"
  echo "Disk:    $(df -h "$work" | awk 'NR == 2 {print $1 " (" $2 ")"}')"
  if [ -n "${LANTERNFOLD:-}" ]; then
    echo "Lanternfold: $lanternfold"
  else
    echo "Lanternfold: build/bin/lanternfold at commit $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)"
  fi
  echo '```'
  echo
  echo "| tool | step | items | seconds | ms per item | peak memory (MB) | time ÷ Lanternfold's |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  awk -F'\t' '
    { tool[NR] = $1; step[NR] = $2; secs[NR] = $3; peak[NR] = $4; items[NR] = $5
      if ($1 == "lanternfold" && $3 != "failed") base[$2] = $3 }
    END {
      for (i = 1; i <= NR; i++) {
        if (secs[i] == "failed") { printf "| %s | %s | %d | failed | | | |\n", tool[i], step[i], items[i]; continue }
        ratio = (step[i] in base && base[step[i]] > 0) ? sprintf("%.2f", secs[i] / base[step[i]]) : ""
        printf "| %s | %s | %d | %.2f | %.2f | %d | %s |\n", tool[i], step[i], items[i], secs[i], 1000 * secs[i] / items[i], peak[i] / 1024, ratio
      }
    }' "$table"
  echo
  # Lanternfold against the machine's limit: libvips alone in as many processes as cores.
  awk -F'\t' -v limit="libvips $cores processes" '
    $3 != "failed" && $1 == "lanternfold" { lf[$2] = $3 }
    $3 != "failed" && $1 == limit { vips[$2] = $3 }
    END {
      for (step in vips) if (step in lf && vips[step] > 0)
        printf "Lanternfold %s ÷ %s: %.2f\n", step, limit, lf[step] / vips[step]
    }' "$table" | sort
  echo
  echo "Steps: full = into an empty folder; unchanged = the same again; caption = after one caption"
  echo "change (Lanternfold only: the other tools take captions from the pictures' metadata); small ="
  echo "the same on $small_count pictures of 640 × 480. Lanternfold ran with ${BENCH_JOBS:-as many workers as cores} (--jobs)."
  echo "libvips N processes = bench/reference/vips_reference.cpp over N equal parts of the pictures at once."
  echo "fgallery cannot update a gallery, so its second run starts again from an empty folder."
  echo "Peak memory is the largest single process (tools that start helper programs report the"
  echo "largest helper, not the sum)."
} >"$report"
rm -f "$table"
cat "$report"
echo "Written to ${report#$root/}" >&2
