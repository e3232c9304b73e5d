#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and
# end-to-end tests through ctest, then each extra phase in scripts/test-phases/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
(cd "$root" && ctest --preset default)
for phase in "$root"/scripts/test-phases/*.sh; do
  [ -e "$phase" ] || continue
  echo "== $(basename "$phase")"
  bash "$phase"
done
echo "all test phases passed"
