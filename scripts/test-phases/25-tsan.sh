#!/usr/bin/env bash
# Builds what runs on more than one thread with ThreadSanitizer (build-tsan/):
# the differential tests (the whole pass on up to four workers against the
# plain reference) and the workers' and wavefront's stress tests, the tests
# labelled threads, and runs them (the tsan presets of CMakePresets.json).
# Any report fails the phase, as does a test that fails or hangs (the stress
# tests have a watchdog of their own; ctest gives each test at most 15
# minutes besides).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-tsan"
reports="$build/tsan-reports"

cd "$root"
cmake --preset tsan >/dev/null
cmake --build --preset tsan

rm -rf "$reports"
mkdir -p "$reports"
# exitcode 66: a report never passes for an expected exit code.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:log_path=$reports/tsan"

status=0
ctest --preset tsan || status=$?

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
