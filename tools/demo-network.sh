#!/usr/bin/env bash
# The network demo: the plug-in drives a real sACN receiver through the
# network DMX510.dll. It starts the Open Lighting Architecture daemon in a
# private network namespace, runs selvane-host there under Wine with
# Selvane.out.dll and the network library side by side, and ends with what the
# receiver got: frames per second and the levels, against what the host set.
# Run as root (the namespace); installs what is missing first.
# Usage: tools/demo.sh --network [seconds, default 4]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-4}
jobs=$(nproc 2>/dev/null || echo 2)
say() { printf '[demo] %s\n' "$*"; }

say "checking the toolchain and the receiver (mingw-w64, Wine, OLA, nftables)"
bash tools/install-deps.sh | sed 's/^/       /'
say "building Selvane.out.dll, selvane-host.exe and the network libraries"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target selvane_out selvane-host selvane_network >/dev/null

. tools/network/receiver.sh
. tools/network/namespace_wine.sh
work="$root/build/win32/network-demo"
rm -rf "$work"
mkdir -p "$work/app"
say "starting olad (E1.31 universe 1) in a private network namespace, loopback only"
receiver_start "$work" demo
say "starting a wineserver inside the namespace (the first run creates build/win32/network-wineprefix)"
ns_wine_start build/win32

app="$work/app"
cp build/win32/bin/Selvane.out.dll build/win32/demo/selvane-host.exe build/win32/network/DMX510.dll "$app/"
cat >"$app/Selvane.network.ini" <<'INI'
[Output]
Protocol = sACN
Destination = 127.0.0.1   ; the receiver in the namespace; empty would mean 239.255.0.1
Universe = 1
Priority = 100
SourceName = Selvane demo
INI
say "beside Selvane.out.dll: the network DMX510.dll and this Selvane.network.ini:"
sed 's/^/         /' "$app/Selvane.network.ini"
ns_wine regsvr32 /s /n /i:user "$(ns_wine_path "$app/Selvane.out.dll")" </dev/null >/dev/null 2>&1 ||
  { say "registration failed"; exit 1; }

level() { echo $(( ($1 * 37 + 11) % 256 )); }
args=()
for ((ch = 1; ch <= 509; ch++)); do args+=("$ch=$(level "$ch")"); done
recorder_start "$work/received.show" 1
say "running selvane-host for $seconds s: DMX-510USB selected, a pattern on all 509 channels"
echo
set +e
(cd "$app" && ip netns exec "$RECEIVER_NS" wine selvane-host.exe --title "Selvane Network Demo" --interface dmx510usb \
  --seconds "$seconds" --scene static "${args[@]}" </dev/null >"$work/host.out" 2>&1)
status=$?
set -e
sleep 0.3
recorder_stop
tr -d '\r' <"$work/host.out"
echo
read -r frames longest spanMs < <(awk 'NF == 2 && $1 == 1 { n++; next } NF == 1 && n > 0 { t += $1; if ($1 > max) max = $1 }
  END { print n + 0, max + 0, t + 0 }' "$work/received.show")
got=($(receiver_levels 1))
match=0
for ((ch = 1; ch <= 509; ch++)); do [ "${got[ch - 1]:-x}" = "$(level "$ch")" ] && match=$((match + 1)); done
say "what the receiver (olad) got on universe 1:"
printf '         frames          %d, %.1f per second, longest gap %d ms\n' "$frames" \
  "$(awk -v n="$frames" -v t="$spanMs" 'BEGIN { print (t > 0 ? (n - 1) * 1000 / t : 0) }')" "$longest"
printf '         levels ch1-16   %s\n' "${got[*]:0:16}"
printf '         host set 1-16   %s\n' "$(for ch in $(seq 16); do printf '%s ' "$(level "$ch")"; done)"
printf '         channels 1-509  %d of 509 as the host set them; 510-512: %s\n' "$match" "${got[*]:509:3}"
printf '         guard           %s UDP packets tried to leave loopback\n' "$(guard_udp_dropped)"
[ "$status" -eq 0 ] && [ "$match" -eq 509 ] && say "done: the plug-in drove a real sACN receiver" ||
  { say "selvane-host ended with status $status, $match of 509 channels matched"; exit 1; }
