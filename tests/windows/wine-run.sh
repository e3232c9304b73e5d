#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's throw-away prefix; ctest
# uses it for the Windows test programs (see cmake/windows-gtest.cmake).
#   tests/windows/wine-run.sh PROGRAM.exe ARGS...
#
# The program's output goes through files: the Wine service processes that
# the first program of a session starts would otherwise inherit our standard
# output and hold it open for as long as the Wine server lives, and whoever
# reads it (ctest) would wait for its end until it times out.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
cr_fixed_layout "$@"
cr_wine_prefix || exit 1
# The test programs' standard error is only shown, never compared: let Wine say
# why a program could not start.
export WINEDEBUG=-all,err+all
out=$(mktemp) && err=$(mktemp) || exit 1
trap 'rm -f "$out" "$err"' EXIT
wine "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit "$status"
