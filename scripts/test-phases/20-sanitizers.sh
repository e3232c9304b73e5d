#!/usr/bin/env bash
# Builds the whole unit-test suite once more with AddressSanitizer,
# UndefinedBehaviorSanitizer and leak checking (build-asan/), the asserts of
# the contracts kept on, and runs it with ctest. Every sanitizer report is written to a file as well; any report,
# from a test or from a program that a test started, fails the phase.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-asan"
reports="$build/sanitizer-reports"

# The asan presets (CMakePresets.json): -O1 -g1, half the build time of
# -O2 -g for the same checks; reports still name functions, files and lines.
cd "$root"
cmake --preset asan >/dev/null
cmake --build --preset asan

rm -rf "$reports"
mkdir -p "$reports"
chmod 1777 "$reports"  # programs that tests run as another user report here too
# exitcode 86: a report never passes for an expected failure exit code.
common="halt_on_error=1:exitcode=86:print_stacktrace=1"
export ASAN_OPTIONS="$common:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="$common:log_path=$reports/ubsan"
export LSAN_OPTIONS="exitcode=86:log_path=$reports/lsan"

status=0
ctest --preset asan || status=$?

if compgen -G "$reports/*" >/dev/null; then
  echo "sanitizer reports:"
  for report in "$reports"/*; do
    echo "--- $report"
    cat "$report"
  done
  status=1
fi
[ "$status" -eq 0 ] && echo "sanitizer run: no report"
exit "$status"
