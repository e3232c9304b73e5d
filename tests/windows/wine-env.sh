# Sourced by the Wine runner and the Windows test phase: a throw-away Wine
# prefix for this user under /tmp, made on first use, and an environment in
# which Wine prints nothing of its own and asks nothing.
#
#   cr_wine_env        exports WINEPREFIX (unless set), WINEDEBUG, WINEDLLOVERRIDES
#   cr_wine_prefix     makes the prefix if it is not complete yet (a few seconds)
#   cr_fixed_layout "$@"
#                      runs the calling script again without address space
#                      randomisation, unless it already runs so

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

# Wine's loader sits at a fixed address, and the kernel puts the loader's heap
# at a random place in the gigabyte above it. About once in a few thousand
# starts that heap covers 0x7ffe0000, where Wine must map the page of data
# that it shares with every Windows program; the start then fails at once
# ("failed to map the shared user data", status c0000018), the program exits
# with 1 in a few milliseconds, and with WINEDEBUG=-all nothing is said. A
# test run of a few hundred starts met this about once in ten runs. Without
# randomisation the heap follows the loader directly, so every start finds the
# page free. The setting is inherited: the Wine server, wineboot and every
# program that the script starts get it too.
cr_fixed_layout() {
  local flags
  flags=$(cat /proc/self/personality 2>/dev/null) || return 0
  (( 0x$flags & 0x0040000 )) && return 0
  if ! setarch "$(uname -m)" -R true 2>/dev/null; then
    echo "cr_fixed_layout: setarch -R is refused here; Wine may fail to start now and then" >&2
    return 0
  fi
  exec setarch "$(uname -m)" -R "$BASH" "$0" "$@"
}
