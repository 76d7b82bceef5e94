#!/usr/bin/env bash
# "Testen" end to end: Selvane-Netzwerk.exe under Wine, its button pressed as
# a user would, sending to olad in a private network namespace. Before it, the
# plug-in's host sends through the network DMX510.dll, so that the host's CID
# is known. Passes when olad holds 50 % on all 512 slots and every test packet
# carried the priority from the file, under a random CID that is not the host's.
# Usage: run_testen_e2e.sh <build dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
. "$here/../../tools/network/receiver.sh"
. "$here/../../tools/network/namespace_wine.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v /usr/bin/python3 >/dev/null || fail "python3 is missing (the packet decoder)"

work="$build/testen-e2e"
rm -rf "$work"
mkdir -p "$work/app"
receiver_start "$work" testen
ns_wine_start "$build"
SNIFFER_PID=
stop_all() { [ -z "$SNIFFER_PID" ] || kill "$SNIFFER_PID" 2>/dev/null || true; ns_wine_stop; receiver_stop; }
trap stop_all EXIT

app="$work/app"
cp "$build/bin/Selvane.out.dll" "$build/demo/selvane-host.exe" "$build/network/DMX510.dll" \
   "$build/network/Selvane-Netzwerk.exe" "$build/tests-bin/netsettings_child.exe" "$app/"
printf '[Output]\r\nProtocol = sACN\r\nDestination = 127.0.0.1\r\nUniverse = 1\r\nPriority = 150\r\nSourceName = Testen e2e\r\n' \
  >"$app/Selvane.network.ini"
ns_wine regsvr32 /s /n /i:user "$(ns_wine_path "$app/Selvane.out.dll")" </dev/null >/dev/null 2>&1 ||
  fail "regsvr32 could not register the plug-in in the network prefix"

ip netns exec "$RECEIVER_NS" /usr/bin/python3 "$here/sacn_sniffer.py" "$work/packets.txt" &
SNIFFER_PID=$!
for _ in $(seq 50); do grep -q ready "$work/packets.txt" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/packets.txt" || fail "the packet decoder did not start"

echo "== the host, through the network DMX510.dll"
(cd "$app" && ip netns exec "$RECEIVER_NS" timeout 300 wine selvane-host.exe --title "Selvane Testen e2e" \
  --interface dmx510usb --seconds 1 --scene static 1=10 </dev/null >"$work/host.out" 2>&1) ||
  { cat "$work/host.out"; fail "selvane-host failed"; }
host_cid=$(awk 'NR > 1 && $2 == 150 && $4 ~ /^0,10$|^10,0$/ {print $1; exit}' "$work/packets.txt")
[ -n "$host_cid" ] || { tail -3 "$work/packets.txt"; fail "no packet of the host seen"; }
echo "host CID $host_cid"

echo "== Selvane-Netzwerk.exe: Testen"
(cd "$app" && ip netns exec "$RECEIVER_NS" timeout 300 wine Selvane-Netzwerk.exe </dev/null >"$work/program.out" 2>&1) &
program=$!
(cd "$app" && ip netns exec "$RECEIVER_NS" timeout 120 wine netsettings_child.exe press-testen </dev/null >"$work/press.out" 2>&1) ||
  { cat "$work/press.out"; fail "Testen did not report"; }
wait "$program" || fail "Selvane-Netzwerk.exe ended with an error"
tr -d '\r' <"$work/press.out"
grep -q "Testmuster gesendet (Alle Kan.le 50 %): 112 Bilder, 0 Fehler, an 127.0.0.1:5568" "$work/press.out" ||
  fail "the program did not report 112 frames without errors to 127.0.0.1:5568"
sleep 0.3

levels=$(receiver_levels 1) || fail "olad did not answer"
[ "$(tr ' ' '\n' <<<"$levels" | sort -u | tr '\n' ' ')" = "128 " ] || fail "olad holds other levels than 128: $levels"
[ "$(wc -w <<<"$levels")" -eq 512 ] || fail "olad holds $(wc -w <<<"$levels") slots, not 512"
test_lines=$(awk 'NR > 1 && $4 == "128"' "$work/packets.txt")
[ "$(wc -l <<<"$test_lines")" -eq 112 ] || fail "$(wc -l <<<"$test_lines") test packets seen, not 112"
[ "$(awk '{print $1}' <<<"$test_lines" | sort -u | wc -l)" -eq 1 ] || fail "the test changed its CID"
test_cid=$(awk 'NR == 1 {print $1}' <<<"$test_lines")
[ "$test_cid" != "$host_cid" ] || fail "the test sent under the host's CID"
[ "${test_cid:12:1}" = 4 ] || fail "the test CID $test_cid is not a random (version 4) UUID"
awk '$2 != 150 || $3 != 1 {bad = 1} END {exit bad}' <<<"$test_lines" || fail "a test packet without priority 150 or universe 1"
[ "$(guard_udp_dropped)" = 0 ] || fail "UDP left loopback"
echo "PASS: 112 frames, all 512 slots at 128, priority 150, CID $test_cid (the host's: $host_cid)"
