#!/usr/bin/env bash
# Builds what runs on more than one thread with ThreadSanitizer (build-tsan/):
# the differential tests (the whole pass on up to four workers against the
# plain reference) and the workers' and wavefront's stress tests, and runs
# them. Any report fails the phase, as does a test that fails or hangs (the
# stress tests have a watchdog of their own; the phase gives each program at
# most 15 minutes besides).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-tsan"
reports="$build/tsan-reports"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCR_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j2 --target differential_tests wavefront_tests

rm -rf "$reports"
mkdir -p "$reports"
# exitcode 66: a report never passes for an expected exit code.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:log_path=$reports/tsan"

status=0
echo "-- tests/reduce/wavefront_tests"
(cd "$build" && timeout 900 ./tests/reduce/wavefront_tests --gtest_brief=1) || status=$?
# The differential tests in two halves at once: most of their time goes to
# the plain reference pass, which uses one core.
echo "-- tests/differential/differential_tests"
pids=()
for shard in 0 1; do
  (cd "$build" && GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard timeout 900 \
     ./tests/differential/differential_tests --gtest_brief=1) &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=$?
done

if compgen -G "$reports/*" >/dev/null; then
  echo "ThreadSanitizer reports:"
  for report in "$reports"/*; do
    echo "--- $report"
    cat "$report"
  done
  status=1
fi
[ "$status" -eq 0 ] && echo "ThreadSanitizer run: no report"
exit "$status"
