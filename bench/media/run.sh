#!/usr/bin/env bash
# Times the media work of one gallery item on a 24-megapixel JPEG at the default sizes (display
# picture 1600, square thumbnail 440) and, side by side, vipsthumbnail making the same two files
# (the practical limit: libvips alone, no watermark step, no atomic writes).
# Usage: bench/media/run.sh [ROUNDS]   (after scripts/setup.sh has built build/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-10}
work="$root/build/bench-media"
mkdir -p "$work/out"

cmake -S "$root/bench/media" -B "$work/build" -G Ninja -DLF_BUILD_DIR="$root/build" >/dev/null
cmake --build "$root/build" --target lf_engine >/dev/null
cmake --build "$work/build" >/dev/null

# A photo-like 6000 × 4000 picture: smooth colour fields with fine grain, about as large on disk as
# a camera's JPEG, tagged with orientation 1 and camera data.
photo="$work/photo-24mp.jpg"
if [ ! -f "$photo" ]; then
  vips gaussnoise "$work/grain.v" 6000 4000 --sigma 18 --mean 0
  vips xyz "$work/xy.v" 6000 4000
  vips extract_band "$work/xy.v" "$work/x.v" 0
  vips extract_band "$work/xy.v" "$work/y.v" 1
  vips linear "$work/x.v" "$work/r0.v" 0.03 40
  vips linear "$work/y.v" "$work/g0.v" 0.04 60
  vips add "$work/r0.v" "$work/grain.v" "$work/r.v"
  vips add "$work/g0.v" "$work/grain.v" "$work/g.v"
  vips linear "$work/grain.v" "$work/b.v" 1.5 120
  vips bandjoin "$work/r.v $work/g.v $work/b.v" "$work/rgb1.v"
  vips cast "$work/rgb1.v" "$work/rgb.v" uchar
  vips copy "$work/rgb.v" "$photo[Q=92]" --interpretation srgb
  exiftool -q -overwrite_original -Make=Bench -Model=Camera -Orientation#=1 -n "$photo"
  rm -f "$work"/*.v
fi
echo "source: $(vipsheader "$photo"), $(du -h "$photo" | cut -f1) on disk; $rounds rounds; $(nproc) cores"

"$work/build/media_bench" "$photo" "$work/out" "$rounds"
"$work/build/media_bench" "$photo" "$work/out" "$rounds" "© Lanternfold Bench" | sed -n "1,4p" | sed "s/^lanternfold /lanternfold+watermark/"

python3 - "$photo" "$work/out" "$rounds" <<'PY'
import statistics, subprocess, sys, time
photo, out, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
def timed(args):
    start = time.perf_counter()
    subprocess.run(args, check=True)
    return (time.perf_counter() - start) * 1000
display, thumb = [], []
for _ in range(rounds):
    display.append(timed(["vipsthumbnail", photo, "--size", "1600", "-o", f"{out}/vt-display.jpg[Q=85,strip]"]))
    thumb.append(timed(["vipsthumbnail", photo, "--size", "440x440", "--smartcrop", "centre", "-o", f"{out}/vt-thumb.jpg[Q=78,strip]"]))
total = [a + b for a, b in zip(display, thumb)]
for name, values in (("display 1600", display), ("thumbnail 440", thumb), ("per item", total)):
    print(f"vipsthumbnail {name + ':':<34} median {statistics.median(values):7.1f} ms  best {min(values):7.1f} ms")
PY
