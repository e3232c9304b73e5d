#!/usr/bin/env bash
# Installs what is missing, builds, and reduces the bundled test card.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
mkdir -p "$root/out"
"$root/build/app/reducebmp" "$root/data/test_card.bmp" "$root/out/test_card_reduced.bmp"
echo "reduced image written to out/test_card_reduced.bmp"
