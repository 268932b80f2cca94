#!/usr/bin/env bash
# The main job: sets up, builds, packs the demo application with vtlpack and
# runs it under Wine with a real Java runtime: first in the foreground, then
# as a Windows service (install, start, status, stop, uninstall).
#   bash scripts/demo.sh          the x86_64 executable under wine64
#   bash scripts/demo.sh --i686   the i686 executable (the product) under
#                                 the 32-bit Wine (scripts/setup32.sh)
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
ARCH=x86_64
case "${1:-}" in
  --i686) ARCH=i686 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--i686]" >&2; exit 2 ;;
esac

VTL_TREES="native win64 win32" bash scripts/build.sh || exit 1
source scripts/wine-env.sh
if [ "$ARCH" = i686 ]; then
  bash scripts/setup32.sh || exit 1
  wine_start() { wine32_start; }
  wine_stop() { wine32_stop; }
  export WINEPREFIX="$WINEPREFIX32"
  WINE64=$WINE32   # every program below runs under the 32-bit Wine
  TREE=build/win32
else
  TREE=build/win64
fi
wine_start

DEMO=$ROOT/build/demo
APP=$DEMO/app
SERVICE=VantrelHello
keepalive_pid=""
cleanup() {
  if [ -n "$keepalive_pid" ]; then
    "$WINE64" "$APP/Hello.exe" /uninstall >/dev/null 2>&1
    kill "$keepalive_pid" 2>/dev/null
  fi
  wine_stop
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }
run() {
  printf '$ %s\n' "$*"
  "$WINE64" "$@" 2>&1 | tr -d '\r'
  local rc=${PIPESTATUS[0]}
  printf '(exit code %d)\n' "$rc"
  return 0
}

step "Packing the demo application"
rm -rf "$DEMO"
mkdir -p "$DEMO/classes" "$APP/lib" "$APP/.vantrel"
javac --release 8 -d "$DEMO/classes" demo/src/com/example/hello/Hello.java
jar cf "$APP/lib/hello.jar" -C "$DEMO/classes" .
cp dist/runtime/vtlruntime.jar "$APP/.vantrel/"
cp "dist/runtime/$ARCH/vtlinst.dll" "$APP/.vantrel/"
# The stand-in runtime home: a Windows jvm.dll that runs this machine's JDK.
cp -r "$TREE/hostjvm/home" "$APP/jre"
dist/vtlpack build demo/hello.toml -o "$APP/Hello.exe" --arch "$ARCH"
(cd "$APP" && find . -path ./jre -prune -o -type f -print | sort | sed 's/^/   /')

step "Running it in the foreground"
cd "$APP"
run Hello.exe /run "first argument" second

step "Running it as a Windows service"
"$WINE64" "$ROOT/$TREE/tests/keepalive.exe" 600 >/dev/null 2>&1 &
keepalive_pid=$!
rm -f heartbeat.log
run Hello.exe /install
run Hello.exe /start
sleep 4
run Hello.exe /status
echo "heartbeat.log so far:"
sed 's/^/   /' heartbeat.log 2>/dev/null || echo "   (none)"
run Hello.exe /stop
run Hello.exe /status
echo "heartbeat.log after the stop:"
tail -n 2 heartbeat.log 2>/dev/null | sed 's/^/   /'
run Hello.exe /uninstall
