#!/usr/bin/env bash
# The main job: builds Selvane.out.dll and shows it working under Wine against
# the virtual interfaces. Installs what is missing first (as root on Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
say() { printf '[demo] %s\n' "$*"; }

bash tools/install-deps.sh
say "building Selvane.out.dll (i686 mingw-w64)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" >/dev/null
say "built $(ls -l build/win32/bin/Selvane.out.dll | awk '{print $5}') bytes: build/win32/bin/Selvane.out.dll"

say "starting Wine (private prefix build/win32/wineprefix)"
bash tests/wine/wine-start.sh build/win32
trap 'bash tests/wine/wine-stop.sh build/win32 >/dev/null' EXIT
. tests/wine/wine-env.sh build/win32

say "transmit cycle against the virtual interfaces"
(cd build/win32/tests-bin && wine tick_bench.exe 100)
