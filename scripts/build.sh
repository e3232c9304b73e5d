#!/usr/bin/env bash
# Configures and builds in build/:
#   build.sh              the programs, the tests and the benchmarks
#   build.sh --programs   the programs only, which need neither GoogleTest nor
#                         Google Benchmark (the demo's build)
# Each run states both switches, so that one kind of build follows the other
# in the same folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
extras=ON
case "${1:-}" in
  "") ;;
  --programs) extras=OFF ;;
  *) echo "usage: build.sh [--programs]" >&2; exit 2 ;;
esac
cd "$root"
cmake --preset default -DCR_BUILD_TESTS=$extras -DCR_BUILD_BENCHMARKS=$extras >/dev/null
cmake --build --preset default -j"$(nproc)"
