#!/usr/bin/env bash
# Benchmarks of the network interface libraries against olad in a private
# network namespace; prints rows of the tools/bench table. Needs root.
# Usage: tools/network-bench.sh (after a win32 build; tools/bench runs it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. tools/network/receiver.sh
. tools/network/namespace_wine.sh
work="$root/build/win32/network-bench"
rm -rf "$work"
mkdir -p "$work/app"
receiver_start "$work" bench >/dev/null
ns_wine_start build/win32 >/dev/null
app="$work/app"
cp build/win32/bin/Selvane.out.dll build/win32/network/DMX510.dll build/win32/network/DMX120.dll \
   build/win32/tools-bin/network_bench.exe "$app/"
printf '[Output]\nProtocol = sACN\nDestination = 127.0.0.1\nUniverse = 1\n' >"$app/Selvane.network.ini"
bench() { (cd "$app" && ip netns exec "$RECEIVER_NS" wine network_bench.exe "$(ns_wine_path "$app")" "$@" \
  </dev/null 2>"$work/bench.err" | tr -d '\r'); }

bench cost
recorder_start "$work/frames.show" 1
sent=$(bench frames 1000)
sleep 0.3
recorder_stop
received=$(awk 'NF == 2 && $1 == 1 { n++ } END { print n + 0 }' "$work/frames.show")
printf '| %-52s | %12.1f | %-9s |\n' "frames lost at olad, of 1000 sent 10 ms apart" "$((sent - received))" "frames"
bench latency 100
