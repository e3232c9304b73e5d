#!/usr/bin/env bash
# Installing and packaging, as a user would meet them:
# - builds the programs alone in build-package/, with GoogleTest and Google
#   Benchmark out of reach (the demo's build: proves it needs neither);
# - installs into a throw-away DESTDIR and checks the file list, the manual
#   pages (groff warnings are errors), the desktop entry, --help and --version;
# - makes the .deb, checks its fields and files, unpacks it with dpkg-deb -x
#   and runs the unpacked reducebmp on the test card: the same statistics and
#   the same bytes as build/'s;
# - makes the Windows .zip in build-mingw/ (made by 40-windows.sh), checks its
#   files, and runs the reducebmp.exe taken from it under Wine on the test card.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/windows/wine-env.sh"
cr_fixed_layout "$@"
package_build="$root/build-package"
linux_build="$root/build"
windows_build="$root/build-mingw"
card="$root/data/test_card.bmp"

scratch=$(mktemp -d /tmp/cr-install.XXXXXX)
wine_used=""
cleanup() {
  if [ -n "$wine_used" ]; then
    WINEPREFIX="$scratch/wine" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() { echo "50-install: $*" >&2; exit 1; }

# The same list, in any order.
same_files() {
  local what=$1 expected=$2 actual=$3
  if [ "$(sort <<<"$expected")" != "$(sort <<<"$actual")" ]; then
    echo "expected:" >&2; sort <<<"$expected" >&2
    echo "found:" >&2; sort <<<"$actual" >&2
    fail "$what: not the expected files"
  fi
}

echo "-- the programs alone, without the test packages (build-package/)"
(cd "$root" && cmake --preset package --no-warn-unused-cli >/dev/null && cmake --build --preset package)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$package_build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in build-package/CMakeCache.txt"

echo "-- cmake --install into a DESTDIR"
dest="$scratch/dest"
DESTDIR="$dest" cmake --install "$package_build" --prefix /usr >/dev/null
same_files "installed tree" "usr/bin/reducebmp
usr/bin/reduceview
usr/share/man/man1/reducebmp.1
usr/share/man/man1/reduceview.1
usr/share/applications/reduceview.desktop" "$(cd "$dest" && find . -type f | sed 's|^\./||')"

echo "-- manual pages"
for page in "$dest"/usr/share/man/man1/*.1; do
  groff -man -ww -Tutf8 -z "$page" 2>"$scratch/groff.err" || fail "groff failed on $(basename "$page")"
  if [ -s "$scratch/groff.err" ]; then
    cat "$scratch/groff.err" >&2
    fail "groff warns about $(basename "$page")"
  fi
  name=$(basename "$page" .1)
  rendered=$(groff -man -Tascii -P-cbou "$page" 2>/dev/null)
  grep -Eq "^ *$name +- " <<<"$rendered" || fail "$name.1 has no NAME line for $name"
  grep -q "colour-reduce $version" <<<"$rendered" || fail "$name.1 does not name version $version"
done

echo "-- desktop entry"
desktop-file-validate "$dest/usr/share/applications/reduceview.desktop"

echo "-- --help and --version of the installed programs"
for program in reducebmp reduceview; do
  "$dest/usr/bin/$program" --version >"$scratch/out" 2>"$scratch/err" || fail "$program --version failed"
  [ "$(cat "$scratch/out")" = "$program $version" ] || fail "$program --version printed '$(cat "$scratch/out")'"
  [ ! -s "$scratch/err" ] || fail "$program --version wrote to standard error"
  for option in --help -h; do
    "$dest/usr/bin/$program" "$option" >"$scratch/out" 2>"$scratch/err" || fail "$program $option failed"
    head -n1 "$scratch/out" | grep -q "^Usage: $program " || fail "$program $option: no usage line"
    [ ! -s "$scratch/err" ] || fail "$program $option wrote to standard error"
  done
done
status=0
"$dest/usr/bin/reducebmp" >"$scratch/out" 2>"$scratch/err" || status=$?
wrong="reducebmp: missing the input and output paths
Try 'reducebmp --help' for more information."
[ "$status" -eq 2 ] && [ "$(cat "$scratch/err")" = "$wrong" ] && [ ! -s "$scratch/out" ] ||
  fail "reducebmp without arguments: exit $status, not what is missing on standard error"

echo "-- the .deb"
(cd "$package_build" && cpack -G DEB >/dev/null)
deb=$(ls "$package_build"/colour-reduce_"$version"_*.deb)
dpkg-deb -I "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libx11-6 libpng16-16 libjpeg62-turbo; do
  grep -q "$library" <<<"$depends" || fail "the .deb does not depend on $library: $depends"
done
grep -q "fonts-noto-cjk | fonts-ipafont-gothic" <<<"$(dpkg-deb -f "$deb" Recommends)" ||
  fail "the .deb does not recommend a Japanese font"
same_files "files of the .deb" "./usr/bin/reducebmp
./usr/bin/reduceview
./usr/share/man/man1/reducebmp.1.gz
./usr/share/man/man1/reduceview.1.gz
./usr/share/applications/reduceview.desktop" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')"
unpacked="$scratch/deb"
dpkg-deb -x "$deb" "$unpacked"
zcat "$unpacked/usr/share/man/man1/reducebmp.1.gz" | groff -man -ww -Tutf8 -z

# The reference: build/'s converter, as the tests built it.
[ -f "$linux_build/CMakeCache.txt" ] || bash "$root/scripts/build.sh"
cmake --build "$linux_build" -j2 --target reducebmp >/dev/null
"$linux_build/app/reducebmp" "$card" "$scratch/expected.bmp" >"$scratch/expected.txt"
"$unpacked/usr/bin/reducebmp" "$card" "$scratch/deb.bmp" >"$scratch/deb.txt"
cmp "$scratch/expected.txt" "$scratch/deb.txt" || fail "the .deb's reducebmp prints other statistics"
cmp "$scratch/expected.bmp" "$scratch/deb.bmp" || fail "the .deb's reducebmp writes other bytes"
# And with the libraries it depends on: an indexed PNG read back as a PNG.
"$linux_build/app/reducebmp" "$card" "$scratch/expected.png" >/dev/null
"$unpacked/usr/bin/reducebmp" "$card" "$scratch/deb.png" >/dev/null
cmp "$scratch/expected.png" "$scratch/deb.png" || fail "the .deb's reducebmp writes another PNG"
"$unpacked/usr/bin/reducebmp" "$scratch/deb.png" "$scratch/deb-again.bmp" >/dev/null ||
  fail "the .deb's reducebmp cannot read the PNG it wrote"
echo "the .deb's reducebmp: same statistics ($(wc -l <"$scratch/deb.txt") lines) and same output as build/'s, BMP and PNG"

echo "-- the Windows .zip (build-mingw/)"
if [ ! -f "$windows_build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset mingw >/dev/null)
fi
cmake --build "$windows_build" -j2 --target reducebmp reduceview >/dev/null
(cd "$windows_build" && cpack -G ZIP >/dev/null)
zip="$windows_build/colour-reduce-$version-win64.zip"
[ -f "$zip" ] || fail "no $zip"
top="colour-reduce-$version-win64"
same_files "files of the .zip" "$top/README.txt
$top/reducebmp.exe
$top/reduceview.exe" "$(cmake -E tar tf "$zip" | grep -v '/$')"
(cd "$scratch" && cmake -E tar xf "$zip")
grep -q "reducebmp.exe photo.bmp photo-256.bmp" "$scratch/$top/README.txt" || fail "README.txt does not say how to run"

export WINEPREFIX="$scratch/wine"
wine_used=1
unset DISPLAY
cr_wine_prefix
run_exe() { "$root/tests/windows/wine-run.sh" "$@"; }
run_exe "$scratch/$top/reducebmp.exe" --version | tr -d '\r' >"$scratch/out"
[ "$(cat "$scratch/out")" = "reducebmp $version" ] || fail "reducebmp.exe --version printed '$(cat "$scratch/out")'"
cp "$card" "$scratch/card.bmp"
run_exe "$scratch/$top/reducebmp.exe" "$(winepath -w "$scratch/card.bmp")" "$(winepath -w "$scratch/zip.bmp")" |
  tr -d '\r' >"$scratch/zip.txt"
cmp "$scratch/expected.txt" "$scratch/zip.txt" || fail "the .zip's reducebmp.exe prints other statistics"
cmp "$scratch/expected.bmp" "$scratch/zip.bmp" || fail "the .zip's reducebmp.exe writes other bytes"
echo "the .zip's reducebmp.exe under Wine: same statistics and same output as build/'s"

echo "package sizes: $(basename "$deb") $(stat -c %s "$deb") bytes, $(basename "$zip") $(stat -c %s "$zip") bytes"
echo "install and packages: passed"
