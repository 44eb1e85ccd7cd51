#!/usr/bin/env bash
# Builds the libFuzzer programs of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz, then runs each target for the given number of seconds
# (60 unless given) starting from its committed seeds and kept regression inputs. Prints each
# target's executions per second and corpus size. A crash, hang or memory blow-up is written to
# build-fuzz/findings/<target>/ and makes the script fail: mend it and keep the input under
# tests/fuzz/regressions/<target>/ with a name that says what it found, so the normal tests replay it.
# Not part of ./test.sh. Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true

"$root/scripts/install-debian-packages.sh" "$root/scripts/debian-packages.txt" "$root/scripts/fuzz-packages.txt"

build_dir="$root/build-fuzz"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLF_SANITIZE=fuzzer "${launcher[@]}" >&2
fi
export CCACHE_BASEDIR="$root"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(sed -n 's/^ *{"\([a-z_]*\)", [A-Za-z]*},$/\1/p' "$root/tests/fuzz/support/fuzz_targets.cpp"))
fi
cmake --build "$build_dir" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}" >&2

# Leaks are not faults here: libraries keep one-off allocations (see test.sh).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=()
printf '%-22s %10s %10s %12s\n' target 'exec/s' 'corpus' 'executions'
for name in "${targets[@]}"; do
  corpus="$build_dir/corpus/$name"
  findings="$build_dir/findings/$name"
  mkdir -p "$corpus" "$findings"
  seeds=()
  for kept in "$root/tests/fuzz/corpus/$name" "$root/tests/fuzz/regressions/$name"; do
    [ -d "$kept" ] && seeds+=("$kept")
  done
  log="$build_dir/fuzz-$name.log"
  # A single input taking over 10 s is a hang; over 2 GB of memory is a blow-up.
  if "$build_dir/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$name")
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  size=$(find "$corpus" -type f | wc -l)
  printf '%-22s %10s %10s %12s %s\n' "$name" "${rate:-?}" "$size" "${execs:-?}" "$([ $status = ok ] || echo "FAILED, see $log")"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Findings in: ${failed[*]} (inputs under $build_dir/findings/)" >&2
  exit 1
fi
