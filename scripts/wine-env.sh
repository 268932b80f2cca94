# Sourced by the build and test scripts: one Wine prefix per checkout, a
# wineserver that we start ourselves (with its output away from any pipe a
# caller may be reading), and a function to end it.
: "${VTL_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${WINEPREFIX:-$VTL_ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# wine64 through our wrapper, which turns off address randomisation (see
# scripts/wine64 for why).
export WINE64="$VTL_ROOT/scripts/wine64"
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINESERVER

wine_start() {
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX (first run only)"
    "$WINE64" wineboot --init </dev/null >/dev/null 2>&1 || true
    # Creating a prefix leaves two services.exe running, each with its own
    # service database, and SCM calls then land on either one. A fresh
    # server starts exactly one.
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    sleep 1
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
  fi
  sleep 0.5
  # The first Wine program starts the prefix's services (services.exe and
  # the rest), which inherit its standard output and error and outlive it.
  # Start them here, with no pipe attached, so no test's output pipe is
  # ever held open by them. Their standard error goes to a file: Wine
  # writes its own messages there for the service processes the SCM starts
  # (the event log, for one, is only such a line), and tests read it.
  "$WINE64" wineboot </dev/null >/dev/null 2>>"$WINEPREFIX/services-stderr.log" || true
}

wine_stop() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
}

# The 32-bit side: programs run through scripts/wine32 in the chroot of
# scripts/setup32.sh, in a prefix of their own.
export WINE32="$VTL_ROOT/scripts/wine32"
export WINEPREFIX32="${WINEPREFIX32:-$VTL_ROOT/build/wineprefix32}"

wine32_start() {
  [ -f "$WINEPREFIX32/system.reg" ] || { echo "wine32: no prefix $WINEPREFIX32; run scripts/setup32.sh" >&2; return 1; }
  WINEPREFIX="$WINEPREFIX32" "$WINE32" --server -p </dev/null >/dev/null 2>&1 &
  sleep 0.5
  WINEPREFIX="$WINEPREFIX32" "$WINE32" wineboot </dev/null >/dev/null 2>>"$WINEPREFIX32/services-stderr.log" || true
}

wine32_stop() {
  WINEPREFIX="$WINEPREFIX32" "$WINE32" --server -k </dev/null >/dev/null 2>&1 || true
}
