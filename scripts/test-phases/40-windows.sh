#!/usr/bin/env bash
# The Windows programs. Cross-builds everything with MinGW-w64 into
# build-mingw/ (reduceview.exe, reducebmp.exe, the unit tests), checks that the
# programs need no DLL beyond the system's (WIC's windowscodecs and ole32
# among them), runs the unit tests under Wine
# without a display, then checks the programs against the Linux build under
# Wine on an X server with no window manager (tests/windows/wine_viewer_test):
# the batch converter's bytes, the viewer's pixels (at 96 and 144 DPI), title,
# output and close, under a Japanese locale (code page 932) and under C.UTF-8,
# a picture larger than the screen moved, zoomed and compared with its
# original by keys that xdotool types, and the manifest and version resource
# of both programs; then PNG and JPEG files through WIC against the Linux
# decoders (tests/windows/wine_pictures_test).
#
# Wine runs in a throw-away prefix under /tmp, made at the start (a few
# seconds, about 700 MB) and removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux_build="$root/build"
windows_build="$root/build-mingw"
source "$root/tests/windows/wine-env.sh"
cr_fixed_layout "$@"

scratch=$(mktemp -d /tmp/cr-windows.XXXXXX)
export WINEPREFIX="$scratch/wine"
cr_wine_env
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "-- cross-building into build-mingw/"
(cd "$root" && cmake --preset mingw >/dev/null && cmake --build --preset mingw)

echo "-- DLLs the programs need"
for exe in app/reduceview.exe app/reducebmp.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$windows_build/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
         tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
  echo "$exe: $dlls"
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | ole32.dll | windowscodecs.dll) ;;
      *) echo "$exe needs $dll, which is not part of Windows" >&2; exit 1 ;;
    esac
  done
done

echo "-- resources of the programs"
# Listed here for the log; wine_viewer_test reads them back as Windows does.
for exe in app/reduceview.exe app/reducebmp.exe; do
  echo "$exe:"
  wrestool -l "$windows_build/$exe"
done

echo "-- Wine prefix"
unset DISPLAY
cr_wine_prefix

echo "-- unit tests under Wine, no display"
# One server for the whole step, so that each program starts in a fraction of
# a second; Wine's own service processes are started once here, away from any
# output that someone waits on.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1
(cd "$root" && ctest --preset mingw)
# A server that started without a display would never paint later windows.
wineserver -k
wineserver -w

echo "-- Windows programs under Wine on an X server"
[ -f "$linux_build/CMakeCache.txt" ] || bash "$root/scripts/build.sh"
cmake --build "$linux_build" -j2 --target wine_viewer_test wine_pictures_test reducebmp >/dev/null
# The Japanese locale, made here so that the system's locales stay as they are.
mkdir -p "$scratch/locale"
localedef -i ja_JP -f UTF-8 "$scratch/locale/ja_JP.UTF-8" || [ -e "$scratch/locale/ja_JP.UTF-8/LC_CTYPE" ]
export CR_JA_LOCPATH="$scratch/locale"
export CR_WINDOWS_BUILD="$windows_build"
export CR_WINE=wine

exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$scratch/display")"
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1
# The wide-text test once more, now that Wine can make its window.
CR_EXPECT_WINDOWS=1 wine "$windows_build/tests/windows/wide_text_tests.exe" --gtest_brief=1 </dev/null
"$linux_build/tests/windows/wine_viewer_test"
# PNG and JPEG through WIC against libpng and libjpeg-turbo (no display needed).
"$linux_build/tests/windows/wine_pictures_test"
echo "Windows programs under Wine: passed"
