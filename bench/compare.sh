#!/usr/bin/env bash
# Times the batch converter against the plain reference pass, ImageMagick and
# pngquant on real photographs, whole process each (load, reduce, write), and
# prints a table of times, peak memory and ratios; then PNG in, PNG out:
# `reducebmp IN.png OUT.png` against pngquant on the same PNG, at 1 MP and
# 12 MP, with the size of each output.
#
#   bash bench/compare.sh [--runs N] [--build DIR] [--scratch DIR] [--quick] [--png-only]
#
# The photographs come from Debian packages (mate-backgrounds,
# plasma-workspace-wallpapers), which the script installs when they are
# missing, together with imagemagick, pngquant and time. Each photograph is
# resized to 4000 x 3000 and 6000 x 4000 and saved as a 24-bit BMP (and a PNG
# copy for pngquant) in the scratch folder; nothing is written elsewhere.
# Each command runs N times (default 3), the tools taking turns, and the
# fastest run of each counts. Wall time is what the targets speak of; the
# processor time (user + system, all threads) is shown beside it because on a
# machine that others share it depends less on their load.
# --quick: one photograph, one run. --png-only: the PNG rows alone.
# ImageMagick is called as /usr/bin/convert where it is, so that no wrapper
# of the same name earlier in PATH is timed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
build="$root/build"
scratch="${TMPDIR:-/tmp}/cr-compare"
quick=0
png_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    --quick) quick=1; runs=1; shift ;;
    --png-only) png_only=1; shift ;;
    *) echo "usage: $0 [--runs N] [--build DIR] [--scratch DIR] [--quick] [--png-only]" >&2; exit 2 ;;
  esac
done

fast="$build/app/reducebmp"
reference="$build/bench/reference_reducebmp"
for tool in "$fast" "$reference"; do
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

convert=$(command -v /usr/bin/convert || command -v convert)

# --- the photographs ----------------------------------------------------------
photos=(
  "wood:/usr/share/backgrounds/mate/nature/Wood.jpg"
  "garden:/usr/share/backgrounds/mate/nature/Garden.jpg"
  "path:/usr/share/wallpapers/Path/contents/images/2560x1600.jpg"
)
[ "$quick" -eq 1 ] && photos=("${photos[0]}")
sizes=("4000x3000" "6000x4000")
png_sizes=("1152x864" "4000x3000")

mkdir -p "$scratch"
for entry in "${photos[@]}"; do
  name=${entry%%:*}
  source=${entry#*:}
  [ -f "$source" ] || { echo "missing photograph $source" >&2; exit 1; }
  for size in "${sizes[@]}"; do
    bmp="$scratch/${name}_$size.bmp"
    if [ ! -f "$bmp" ]; then
      # Fill the frame, then crop the overhang: no borders, no distortion.
      "$convert" "$source" -resize "${size}^" -gravity center -extent "$size" -type TrueColor "BMP3:$bmp"
      "$convert" "$bmp" "PNG24:$scratch/${name}_$size.png"
    fi
  done
  for size in "${png_sizes[@]}"; do
    png="$scratch/${name}_$size.png"
    [ -f "$png" ] || "$convert" "$source" -resize "${size}^" -gravity center -extent "$size" -type TrueColor "PNG24:$png"
  done
done

# --- timing -------------------------------------------------------------------
# run LABEL COMMAND...: runs the command under /usr/bin/time -v and records
# "wall_seconds peak_kib cpu_seconds" in $scratch/LABEL.time when its wall
# time beats the best so far.
run() {
  local label=$1
  shift
  local log="$scratch/$label.log"
  /usr/bin/time -v "$@" >"$scratch/$label.stdout" 2>"$log" || { echo "failed: $*" >&2; tail -5 "$log" >&2; exit 1; }
  local wall peak cpu
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
           n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$log")
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
for ((r = 1; r <= runs; r++)); do
  for entry in "${photos[@]}"; do
    name=${entry%%:*}
    if [ "$png_only" -eq 0 ]; then
      for size in "${sizes[@]}"; do
        base="$scratch/${name}_$size"
        run "${name}_${size}_fast" "$fast" "$base.bmp" "$base.fast.bmp"
        run "${name}_${size}_reference" "$reference" "$base.bmp" "$base.reference.bmp"
        run "${name}_${size}_magick" "$convert" "$base.bmp" -dither FloydSteinberg -colors 256 "BMP3:$base.magick.bmp"
        run "${name}_${size}_pngquant" pngquant --force --output "$base.pngquant.png" "$base.png"
      done
    fi
    for size in "${png_sizes[@]}"; do
      base="$scratch/${name}_$size"
      run "${name}_${size}_png_fast" "$fast" "$base.png" "$base.fast.png"
      run "${name}_${size}_png_pngquant" pngquant --force --output "$base.png-pngquant.png" "$base.png"
    done
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
printf '| %-7s | %-9s | %-20s | %6s | %8s | %6s | %8s | %8s |\n' photo size tool "wall s" "÷ fast" "cpu s" "÷ fast" "peak MiB"
echo '|---------|-----------|----------------------|-------:|---------:|-------:|---------:|---------:|'
verdicts=()
for entry in "${photos[@]}"; do
  name=${entry%%:*}
  for size in "${sizes[@]}"; do
    base="${name}_$size"
    t_fast=$(field "${base}_fast" 1)
    c_fast=$(field "${base}_fast" 3)
    for tool in fast reference magick pngquant; do
      case $tool in
        fast) label="reducebmp" ;;
        reference) label="reference pass" ;;
        magick) label="ImageMagick convert" ;;
        pngquant) label="pngquant (PNG)" ;;
      esac
      t=$(field "${base}_$tool" 1)
      kib=$(field "${base}_$tool" 2)
      c=$(field "${base}_$tool" 3)
      printf '| %-7s | %-9s | %-20s | %6.2f | %8s | %6.2f | %8s | %8.1f |\n' "$name" "$size" "$label" "$t" \
        "$(ratio "$t" "$t_fast")x" "$c" "$(ratio "$c" "$c_fast")x" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
    done
    # The fast pass must leave the same bytes as the reference.
    if cmp -s "$scratch/$base.fast.bmp" "$scratch/$base.reference.bmp" &&
       cmp -s "$scratch/${base}_fast.stdout" "$scratch/${base}_reference.stdout"; then
      same="identical output"
    else
      same="OUTPUT DIFFERS"
    fi
    both() {  # "wall ratio (cpu ratio)" of a tool against reducebmp
      echo "$(ratio "$(field "${base}_$1" 1)" "$t_fast")x (cpu $(ratio "$(field "${base}_$1" 3)" "$c_fast")x)"
    }
    if [ "$size" = "4000x3000" ]; then
      kib=$(field "${base}_fast" 2)
      pixel_kib=$(( ($(stat -c %s "$scratch/$base.bmp") - 54) / 1024 ))
      limit_kib=$(( 2 * pixel_kib + 65536 ))
      verdicts+=("$name 12 MP: $same; reference/reducebmp $(both reference) (target >= 20), ImageMagick/reducebmp $(both magick) (>= 3), pngquant/reducebmp $(both pngquant) (> 1), peak $((kib / 1024)) MiB (limit $((limit_kib / 1024)) MiB)")
      t12=$t_fast
      c12=$c_fast
    else
      verdicts+=("$name 24 MP: $same; 24 MP / 12 MP wall $(ratio "$t_fast" "$t12")x (cpu $(ratio "$c_fast" "$c12")x) (target <= 2.2)")
    fi
  done
done
echo
for v in "${verdicts[@]}"; do echo "$v"; done
fi

# PNG in, indexed PNG out: reducebmp against pngquant on the same file.
echo
printf '| %-7s | %-9s | %-24s | %6s | %8s | %6s | %8s | %10s |\n' photo size tool "wall s" "÷ fast" "cpu s" "peak MiB" "output KiB"
echo '|---------|-----------|--------------------------|-------:|---------:|-------:|---------:|-----------:|'
for entry in "${photos[@]}"; do
  name=${entry%%:*}
  for size in "${png_sizes[@]}"; do
    base="${name}_$size"
    t_fast=$(field "${base}_png_fast" 1)
    for tool in fast pngquant; do
      case $tool in
        fast) label="reducebmp IN.png OUT.png"; out="$scratch/$base.fast.png" ;;
        pngquant) label="pngquant"; out="$scratch/$base.png-pngquant.png" ;;
      esac
      t=$(field "${base}_png_$tool" 1)
      printf '| %-7s | %-9s | %-24s | %6.2f | %8s | %6.2f | %8.1f | %10d |\n' "$name" "$size" "$label" "$t" \
        "$(ratio "$t" "$t_fast")x" "$(field "${base}_png_$tool" 3)" \
        "$(awk -v k="$(field "${base}_png_$tool" 2)" 'BEGIN { print k / 1024 }')" $(( $(stat -c %s "$out") / 1024 ))
    done
  done
done
