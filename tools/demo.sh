#!/usr/bin/env bash
# The main job: builds Selvane.out.dll and the reference host, registers the
# plug-in per user in a private Wine prefix and drives it as a lighting host
# would, with a chase across 509 channels on the virtual DMX-510USB.
# Installs what is missing first (as root on Debian 12).
# Usage: tools/demo.sh [seconds, default 4]
#        tools/demo.sh --network [seconds]   the same host driving a real sACN receiver (tools/demo-network.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${1:-}" != --network ] || exec bash tools/demo-network.sh "${@:2}"
root=$(pwd)
seconds=${1:-4}
jobs=$(nproc 2>/dev/null || echo 2)
say() { printf '[demo] %s\n' "$*"; }

say "checking the toolchain (mingw-w64, Wine; the first run installs them, about a minute)"
bash tools/install-deps.sh | sed 's/^/       /'
say "building Selvane.out.dll and selvane-host.exe (i686 mingw-w64)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target selvane_out selvane-host >/dev/null
dll=build/win32/bin/Selvane.out.dll
say "built $dll ($(stat -c %s "$dll") bytes)"

[ -f build/win32/wineprefix/.selvane-ready ] || say "creating the private Wine prefix build/win32/wineprefix (about 10 s)"
bash tools/wine/wine-start.sh build/win32 >/dev/null
trap 'bash "$root/tools/wine/wine-stop.sh" "$root/build/win32" >/dev/null' EXIT
. tools/wine/wine-env.sh build/win32

say "registering the plug-in for this user: regsvr32 /n /i:user Selvane.out.dll"
wine regsvr32 /s /n /i:user "$(winepath -w "$dll")" </dev/null >/dev/null 2>&1 \
  || { say "registration failed"; exit 1; }
# A first run: nothing stored yet, so the plug-in selects the DMX-510USB.
title="Selvane Demo"
wine reg delete "HKCU\\Software\\VB and VBA Program Settings\\$title" /f </dev/null >/dev/null 2>&1 || true

say "running selvane-host for $seconds s: chase across 509 channels, virtual interfaces beside the host"
echo
cd build/win32/demo
set +e
wine selvane-host.exe --title "$title" --scene chase --channels 509 --seconds "$seconds" </dev/null 2>&1 \
  | tr -d '\r'
status=${PIPESTATUS[0]}
set -e
echo
[ "$status" -eq 0 ] && say "done: the plug-in drove the virtual DMX-510USB" || say "selvane-host ended with status $status"
exit "$status"
