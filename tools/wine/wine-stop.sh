#!/usr/bin/env bash
# Stops the wineserver that wine-start.sh started, and only that one.
# Usage: wine-stop.sh <build dir>
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh" "$1"
pidfile="$SELVANE_WINE_STATE/wineserver.pid"
[ -f "$pidfile" ] || exit 0
pid="$(cat "$pidfile")"
if kill -0 "$pid" 2>/dev/null; then
  # Ends the Wine processes of this private prefix, then the server itself.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
fi
rm -f "$pidfile"
echo "[wine] wineserver stopped"
