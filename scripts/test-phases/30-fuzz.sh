#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (build-fuzz/) and runs them
# side by side, the four sharing the two cores, for a bounded time
# (CR_FUZZ_SECONDS each, 60 by default): the BMP reader alone (fuzz_read,
# fast), the whole road through the pass and the writer (fuzz_pass), and the
# PNG and JPEG readers (fuzz_png, fuzz_jpeg), from the generated seeds of
# their format, the saved corpus and the regression files. A crash, a sanitizer report, a leak, an input
# that takes more than 10 s or a single allocation above 64 MB fails the
# phase; the input that did it is kept under build-fuzz/fuzz-artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-fuzz"
seconds="${CR_FUZZ_SECONDS:-60}"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work="$build/fuzz-run"
artifacts="$build/fuzz-artifacts"
rm -rf "$work"
mkdir -p "$artifacts"
"$build/tests/fuzz/make_fuzz_seeds" "$work/seeds"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# New inputs go to each target's own first folder; the others are read as
# seeds: the BMP targets' saved corpus and regressions, and each picture
# target's own seeds.
bmp_inputs=("$work/seeds/bmp")
for saved in "$root/tests/fuzz/corpus" "$root/tests/data/fuzz-regressions"; do
  [ -d "$saved" ] && bmp_inputs+=("$saved")
done
# -max_len bounds the picture a mutation can describe, -malloc_limit_mb any
# single allocation: no input of 16 kB has a reason to ask for 64 MB at once.
fuzz() {
  local target=$1
  shift
  mkdir -p "$work/corpus-$target"
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=1024 -malloc_limit_mb=64 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work/corpus-$target" "$@" >"$work/$target.log" 2>&1
}
targets=(fuzz_read fuzz_pass fuzz_png fuzz_jpeg)
echo "-- ${targets[*]} for $seconds s, side by side"
declare -A pids
fuzz fuzz_read "${bmp_inputs[@]}" &
pids[fuzz_read]=$!
fuzz fuzz_pass "${bmp_inputs[@]}" &
pids[fuzz_pass]=$!
fuzz fuzz_png "$work/seeds/png" "$root/tests/data/fuzz-regressions" &
pids[fuzz_png]=$!
fuzz fuzz_jpeg "$work/seeds/jpeg" "$root/tests/data/fuzz-regressions" &
pids[fuzz_jpeg]=$!
failed=()
for target in "${targets[@]}"; do
  wait "${pids[$target]}" || failed+=("$target")
done
for target in "${targets[@]}"; do
  echo "-- $target"
  grep -E '^(Done|stat::)' "$work/$target.log" || true
done
for target in "${failed[@]}"; do
  tail -n 80 "$work/$target.log"
  echo "$target found a failure; the input is in $artifacts/ (keep it in tests/data/fuzz-regressions once fixed)"
done
[ "${#failed[@]}" -eq 0 ] || exit 1
echo "fuzz run: no failure in ${seconds} s"
