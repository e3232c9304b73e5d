# Sourced by the Wine runner and the Windows test phase: a throw-away Wine
# prefix for this user under /tmp, made on first use, and an environment in
# which Wine prints nothing of its own and asks nothing.
#
#   cr_wine_env        exports WINEPREFIX (unless set), WINEDEBUG, WINEDLLOVERRIDES
#   cr_wine_prefix     makes the prefix if it is not complete yet (a few seconds)

cr_wine_env() {
  export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/cr-wine-$(id -u)}"
  export WINEDEBUG=-all
  # No Mono or Gecko installer prompt while the prefix is made.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

cr_wine_prefix() {
  cr_wine_env
  local done_mark="$WINEPREFIX/.cr-prefix-ready"
  [ -e "$done_mark" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    # One maker at a time: ctest may start two Windows tests at once.
    flock 9
    [ -e "$done_mark" ] && exit 0
    rm -rf "$WINEPREFIX"
    # Made without a display: the first windows need none.
    env -u DISPLAY wineboot -i </dev/null >/dev/null 2>&1
    # Wine draws its own window frames and closes windows at once, instead of
    # waiting for a window manager on every close.
    env -u DISPLAY wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    env -u DISPLAY wineserver -w
    touch "$done_mark"
  ) 9>"$WINEPREFIX.lock"
}
