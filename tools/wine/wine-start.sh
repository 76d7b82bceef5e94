#!/usr/bin/env bash
# Creates the private Wine prefix of a build folder (once), switches it to the
# headless null display driver and starts one persistent wineserver for the run.
# Usage: wine-start.sh <build dir>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh" "$1"
log="$SELVANE_WINE_STATE/wine.log"

if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.selvane-ready" ]; then
  echo "[wine] creating private 32-bit prefix $WINEPREFIX"
  bash "$here/wine-template.sh" "$WINEPREFIX" >>"$log" 2>&1 || { tail -5 "$log"; exit 1; }
  touch "$WINEPREFIX/.selvane-ready"
fi

pidfile="$SELVANE_WINE_STATE/wineserver.pid"
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  echo "[wine] wineserver already running (pid $(cat "$pidfile"))"
  exit 0
fi
# Foreground mode so that we own its PID; it persists until we stop it.
setsid wineserver -f -p </dev/null >>"$log" 2>&1 &
echo $! >"$pidfile"
sleep 0.3
# Warm-up without pipes: the helper processes Wine starts must not inherit
# the test runner's pipes, or the first test waits on them.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
echo "[wine] wineserver running (pid $(cat "$pidfile"))"
