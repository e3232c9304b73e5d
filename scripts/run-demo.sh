#!/usr/bin/env bash
# Installs what is missing, builds, and opens the viewer on the bundled test
# card: it prints the reduction's statistics and shows the reduced image
# until the window is closed (without a display it exits by itself). Then
# writes the reduced image to out/ with the batch converter.
# Needs only a compiler, CMake and Xlib (scripts/packages/base.txt and
# x11.txt): the tests and their packages are left to run-tests.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" base x11
bash "$root/scripts/build.sh" --programs
"$root/build/app/reduceview" "$root/data/test_card.bmp"
mkdir -p "$root/out"
"$root/build/app/reducebmp" "$root/data/test_card.bmp" "$root/out/test_card_reduced.bmp" >/dev/null
echo "reduced image also written to out/test_card_reduced.bmp"
