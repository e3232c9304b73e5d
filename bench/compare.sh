#!/usr/bin/env bash
# Times the batch converter against the plain reference pass, ImageMagick and
# pngquant, whole process each (load, reduce, write), and prints a table of
# times, peak memory and ratios, then one line per picture with the ratio to
# ImageMagick and the memory bound (picture bytes + 8 bytes per distinct
# colour + 32 MB); then PNG in, PNG out: `reducebmp IN.png OUT.png` against
# pngquant on the same PNG, for the photographs at 1 MP and 12 MP, with the
# size of each output.
#
#   bash bench/compare.sh [--runs N] [--build DIR] [--scratch DIR] [--quick] [--no-reference] [--png-only]
#
# The pictures:
# - photographs from Debian packages (mate-backgrounds, plasma-workspace-
#   wallpapers), which the script installs when they are missing, together
#   with imagemagick, pngquant and time: the ladybird at 1280 x 800 (1 MP),
#   4000 x 3000 (12 MP) and 6000 x 4000 (24 MP), and three more photographs
#   at 12 and 24 MP;
# - pictures of millions of colours that bench/make_bench_picture writes from
#   a fixed seed: 24 MP noise (about 12.8 million colours) and every colour
#   once in 4096 x 4096, scattered and in key order.
# Each is saved as a 24-bit BMP (and a PNG copy for pngquant) in the scratch
# folder; nothing is written elsewhere. Each command runs N times (default
# 3), the tools taking turns, and the fastest run of each counts. Wall time is
# what the targets speak of; the processor time (user + system, all threads)
# is shown beside it because on a machine that others share it depends less
# on their load. ImageMagick is called as /usr/bin/convert, never through a
# wrapper that may stand in front of it on the PATH.
# --quick: the ladybird at 12 MP and the noise, one run.
# --no-reference: skip the plain reference pass (minutes on the large
#   pictures of millions of colours).
# --png-only: the PNG rows alone.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
build="$root/build"
scratch="${TMPDIR:-/tmp}/cr-compare"
quick=0
with_reference=1
png_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    --quick) quick=1; runs=1; shift ;;
    --no-reference) with_reference=0; shift ;;
    --png-only) png_only=1; shift ;;
    *) echo "usage: $0 [--runs N] [--build DIR] [--scratch DIR] [--quick] [--no-reference] [--png-only]" >&2; exit 2 ;;
  esac
done

fast="$build/app/reducebmp"
reference="$build/bench/reference_reducebmp"
generator="$build/bench/make_bench_picture"
magick=/usr/bin/convert
for tool in "$fast" "$reference" "$generator"; do
  [ -x "$tool" ] || { echo "missing $tool: build first (cmake --build $build)" >&2; exit 1; }
done

# --- what the comparison needs, installed only when missing -----------------
need=()
for pkg in imagemagick pngquant time mate-backgrounds plasma-workspace-wallpapers; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == *"install ok installed"* ]] || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# --- the pictures ---------------------------------------------------------------
# name:source:size; a source "generated" is made by make_bench_picture.
ladybird=/usr/share/backgrounds/mate/nature/LadyBird.jpg
pictures=(
  "ladybird:$ladybird:1280x800"
  "ladybird:$ladybird:4000x3000"
  "ladybird:$ladybird:6000x4000"
  "wood:/usr/share/backgrounds/mate/nature/Wood.jpg:4000x3000"
  "wood:/usr/share/backgrounds/mate/nature/Wood.jpg:6000x4000"
  "garden:/usr/share/backgrounds/mate/nature/Garden.jpg:4000x3000"
  "garden:/usr/share/backgrounds/mate/nature/Garden.jpg:6000x4000"
  "path:/usr/share/wallpapers/Path/contents/images/2560x1600.jpg:4000x3000"
  "path:/usr/share/wallpapers/Path/contents/images/2560x1600.jpg:6000x4000"
  "noise:generated:6000x4000"
  "shuffled:generated:4096x4096"
  "ordered:generated:4096x4096"
)
[ "$quick" -eq 1 ] && pictures=("${pictures[1]}" "${pictures[9]}")
# png_row SOURCE SIZE: whether the picture has PNG rows (the photographs at 1 and 12 MP).
png_row() { [ "$1" != generated ] && { [ "$2" = 1280x800 ] || [ "$2" = 4000x3000 ]; }; }
if [ "$png_only" -eq 1 ]; then
  kept=()
  for entry in "${pictures[@]}"; do
    IFS=: read -r name source size <<<"$entry"
    if png_row "$source" "$size"; then kept+=("$entry"); fi
  done
  pictures=("${kept[@]}")
fi

mkdir -p "$scratch"
for entry in "${pictures[@]}"; do
  IFS=: read -r name source size <<<"$entry"
  bmp="$scratch/${name}_$size.bmp"
  [ -f "$bmp" ] && continue
  if [ "$source" = generated ]; then
    "$generator" "$name" "$bmp"
  else
    [ -f "$source" ] || { echo "missing photograph $source" >&2; exit 1; }
    # Fill the frame, then crop the overhang: no borders, no distortion.
    "$magick" "$source" -resize "${size}^" -gravity center -extent "$size" -type TrueColor "BMP3:$bmp"
  fi
  "$magick" "$bmp" "PNG24:$scratch/${name}_$size.png"
done

# --- timing -------------------------------------------------------------------
# run LABEL COMMAND...: runs the command under /usr/bin/time -v and records
# "wall_seconds peak_kib cpu_seconds" in $scratch/LABEL.time when its wall
# time beats the best so far. The wall time is bash's clock around the run,
# to the microsecond: /usr/bin/time gives hundredths, too coarse for a
# picture that takes 40 ms.
run() {
  local label=$1
  shift
  local log="$scratch/$label.log"
  local started=$EPOCHREALTIME
  /usr/bin/time -v "$@" >"$scratch/$label.stdout" 2>"$log" || { echo "failed: $*" >&2; tail -5 "$log" >&2; exit 1; }
  local ended=$EPOCHREALTIME
  local wall peak cpu
  wall=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.4f", b - a }')
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  cpu=$(awk -F': ' '/User time \(seconds\)/ {u = $2} /System time \(seconds\)/ {s = $2} END {print u + s}' "$log")
  local best="$scratch/$label.time"
  if [ ! -f "$best" ] || awk -v w="$wall" '{exit !(w < $1)}' "$best"; then
    echo "$wall $peak $cpu" >"$best"
  fi
}

rm -f "$scratch"/*.time
cores=$(nproc)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
tools=(fast magick pngquant)
[ "$with_reference" -eq 1 ] && tools=(fast reference magick pngquant)
[ "$png_only" -eq 1 ] && tools=()
for ((r = 1; r <= runs; r++)); do
  for entry in "${pictures[@]}"; do
    IFS=: read -r name source size <<<"$entry"
    base="$scratch/${name}_$size"
    label="${name}_$size"
    for tool in "${tools[@]}"; do
      case $tool in
        fast) run "${label}_fast" "$fast" "$base.bmp" "$base.fast.bmp" ;;
        reference) run "${label}_reference" "$reference" "$base.bmp" "$base.reference.bmp" ;;
        magick) run "${label}_magick" "$magick" "$base.bmp" -dither FloydSteinberg -colors 256 "BMP3:$base.magick.bmp" ;;
        pngquant) run "${label}_pngquant" pngquant --force --output "$base.pngquant.png" "$base.png" ;;
      esac
    done
    if png_row "$source" "$size"; then
      run "${label}_png_fast" "$fast" "$base.png" "$base.fast.png"
      run "${label}_png_pngquant" pngquant --force --output "$base.png-pngquant.png" "$base.png"
    fi
  done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- the table ------------------------------------------------------------------
field() { cut -d' ' -f"$2" "$scratch/$1.time"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

echo
echo "Whole process (load, reduce, write), fastest of $runs run(s); $cores cores;"
echo "load average $load_before before, $load_after after."
if [ "$png_only" -eq 0 ]; then
echo
printf '| %-8s | %-9s | %-20s | %6s | %8s | %6s | %8s | %8s |\n' picture size tool "wall s" "÷ fast" "cpu s" "÷ fast" "peak MiB"
echo '|----------|-----------|----------------------|-------:|---------:|-------:|---------:|---------:|'
verdicts=()
for entry in "${pictures[@]}"; do
  IFS=: read -r name source size <<<"$entry"
  base="${name}_$size"
  t_fast=$(field "${base}_fast" 1)
  c_fast=$(field "${base}_fast" 3)
  for tool in "${tools[@]}"; do
    case $tool in
      fast) label="reducebmp" ;;
      reference) label="reference pass" ;;
      magick) label="ImageMagick convert" ;;
      pngquant) label="pngquant (PNG)" ;;
    esac
    t=$(field "${base}_$tool" 1)
    kib=$(field "${base}_$tool" 2)
    c=$(field "${base}_$tool" 3)
    printf '| %-8s | %-9s | %-20s | %6.3f | %8s | %6.2f | %8s | %8.1f |\n' "$name" "$size" "$label" "$t" \
      "$(ratio "$t" "$t_fast")x" "$c" "$(ratio "$c" "$c_fast")x" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
  done
  # The fast pass must leave the same bytes as the reference.
  same=""
  if [ "$with_reference" -eq 1 ]; then
    if cmp -s "$scratch/$base.fast.bmp" "$scratch/$base.reference.bmp" &&
       cmp -s "$scratch/${base}_fast.stdout" "$scratch/${base}_reference.stdout"; then
      same="identical to the reference; "
    else
      same="OUTPUT DIFFERS FROM THE REFERENCE; "
    fi
  fi
  colors=$(awk '/^color count:/ {print $3}' "$scratch/${base}_fast.stdout")
  kib=$(field "${base}_fast" 2)
  picture_bytes=$(( $(stat -c %s "$scratch/$base.bmp") - 54 ))
  limit_kib=$(( (picture_bytes + 8 * colors) / 1024 + 32768 ))
  within="within"
  [ "$kib" -le "$limit_kib" ] || within="OVER"
  verdicts+=("$(printf '%-8s %-9s %9s colours: ImageMagick/reducebmp %s (cpu %s), peak %d / %d MiB (ours / ImageMagick), %s the bound of %d MiB; %s' \
    "$name" "$size" "$colors" "$(ratio "$(field "${base}_magick" 1)" "$t_fast")x" \
    "$(ratio "$(field "${base}_magick" 3)" "$c_fast")x" $((kib / 1024)) $(( $(field "${base}_magick" 2) / 1024 )) \
    "$within" $((limit_kib / 1024)) "$same")")
done
echo
for v in "${verdicts[@]}"; do echo "$v"; done
fi

# PNG in, indexed PNG out: reducebmp against pngquant on the same file.
echo
printf '| %-8s | %-9s | %-24s | %6s | %8s | %6s | %8s | %10s |\n' picture size tool "wall s" "÷ fast" "cpu s" "peak MiB" "output KiB"
echo '|----------|-----------|--------------------------|-------:|---------:|-------:|---------:|-----------:|'
for entry in "${pictures[@]}"; do
  IFS=: read -r name source size <<<"$entry"
  png_row "$source" "$size" || continue
  base="${name}_$size"
  t_fast=$(field "${base}_png_fast" 1)
  for tool in fast pngquant; do
    case $tool in
      fast) label="reducebmp IN.png OUT.png"; out="$scratch/$base.fast.png" ;;
      pngquant) label="pngquant"; out="$scratch/$base.png-pngquant.png" ;;
    esac
    t=$(field "${base}_png_$tool" 1)
    printf '| %-8s | %-9s | %-24s | %6.3f | %8s | %6.2f | %8.1f | %10d |\n' "$name" "$size" "$label" "$t" \
      "$(ratio "$t" "$t_fast")x" "$(field "${base}_png_$tool" 3)" \
      "$(awk -v k="$(field "${base}_png_$tool" 2)" 'BEGIN { print k / 1024 }')" $(( $(stat -c %s "$out") / 1024 ))
  done
done
