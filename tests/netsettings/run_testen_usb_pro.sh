#!/usr/bin/env bash
# "Testen" with a USB interface: Selvane-Netzwerk.exe under Wine, its button
# pressed as a user would, with USB-Pro on a COM port of the private prefix
# that the emulated interface (tests/usbpro/usb_pro_emulator.py) answers.
# Passes when every frame the interface received holds 50 % on all 512 slots,
# each message whole, and as many as the program reports.
# Usage: run_testen_usb_pro.sh <build dir>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
. "$here/../usbpro/emulator_link.sh"

command -v python3 >/dev/null || fail "python3 is needed for the emulated interface, and there is none in PATH"
python3 -c 'import os, tty; m, s = os.openpty(); tty.setraw(s)' 2>/dev/null ||
  fail "no pseudo-terminal can be had here (is /dev/ptmx there, and devpts mounted?)"
[ -d "${WINEPREFIX:-}/dosdevices" ] || fail "no Wine prefix with a dosdevices folder (WINEPREFIX='${WINEPREFIX:-}')"

work="$build/testen-usb-pro"
app="$work/app"
rm -rf "$work" && mkdir -p "$app"
cp "$build/network/Selvane-Netzwerk.exe" "$build/tests-bin/netsettings_child.exe" "$app/" ||
  fail "the program or its test helper is not built"
printf '[Output]\r\nProtocol = USB-Pro\r\nPort = COM54\r\n' >"$app/Selvane.network.ini"

link="$WINEPREFIX/dosdevices/com54"
record="$work/record.txt"
python3 "$here/../usbpro/usb_pro_emulator.py" --link "$link" --record "$record" --seconds 120 \
  </dev/null >"$work/emulator.out" 2>&1 &
emulator=$! program=
stop_all() {
  [ -z "$program" ] || { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null; }
  kill -TERM "$emulator" 2>/dev/null
  wait "$emulator" 2>/dev/null
}
trap stop_all EXIT
wait_for_emulator_link "$link"

(cd "$app" && timeout 300 wine Selvane-Netzwerk.exe </dev/null >"$work/program.out" 2>&1) &
program=$!
(cd "$app" && timeout 120 wine netsettings_child.exe press-testen </dev/null >"$work/press.out" 2>&1) ||
  { cat "$work/press.out"; fail "Testen did not report"; }
wait "$program" || fail "Selvane-Netzwerk.exe ended with an error"
program=
stop_all
trap - EXIT
report=$(tr -d '\r' <"$work/press.out")
echo "$report"
frames=$(sed -n 's/^Testmuster gesendet (Alle Kan.le 50 %): \([0-9]*\) Bilder, 0 Fehler, an COM54\.$/\1/p' <<<"$report")
[ -n "$frames" ] || fail "the program did not report frames without errors to COM54"
# 5 seconds at 45 ms: 112 ticks; a tick that finds the last message still going out skips.
[ "$frames" -ge 100 ] && [ "$frames" -le 112 ] || fail "$frames frames reported, expected about 112"

half=$(printf '80%.0s' $(seq 512))
received=$(grep -c '^F ' "$record")
[ "$received" -eq "$frames" ] || fail "the interface received $received frames, the program reports $frames"
other=$(awk -v half="$half" '$1 == "F" && $3 != half' "$record" | wc -l)
[ "$other" -eq 0 ] || fail "$other frames with other levels than 128 on all 512 slots"
grep -q '^X .* discarded=0 unexpected=0' "$record" || fail "cut or stray bytes: $(grep '^X ' "$record")"
echo "PASS: $frames frames, all 512 slots at 128, every message whole"
