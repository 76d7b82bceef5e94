#!/usr/bin/env bash
# End to end with a USB Pro interface: the registered plug-in under Wine,
# driven by selvane-host, with a network interface library beside the host
# that drives the emulated interface (usb_pro_emulator.py) on a COM port of
# the private prefix.
# Usage: run_usb_pro_e2e.sh <build dir> <scenario>
#   scenarios: dmx510 dmx120 dmx60 unplug stall bad-settings held
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
scenario=$2
fail() { echo "FAIL ($scenario): $*"; exit 1; }
. "$here/emulator_link.sh"

command -v python3 >/dev/null || fail "python3 is needed for the emulated interface, and there is none in PATH"
python3 -c 'import os, tty; m, s = os.openpty(); tty.setraw(s)' 2>/dev/null ||
  fail "no pseudo-terminal can be had here (is /dev/ptmx there, and devpts mounted?)"
[ -d "${WINEPREFIX:-}/dosdevices" ] || fail "no Wine prefix with a dosdevices folder (WINEPREFIX='${WINEPREFIX:-}')"

port=51 seconds=3 emulator_mode=() scene=()
level() { echo $(( ($1 * 37 + 11) % 256 )); }
static_scene() {
  scene=(--scene static)
  local ch
  for ((ch = 1; ch <= $1; ch++)); do scene+=("$ch=$(level "$ch")"); done
}
ini=$'[Output]\nProtocol = USB-Pro\nPort = COM51\n'
case "$scenario" in
  dmx510) selector=dmx510usb lib=DMX510 sent=509; static_scene 510 ;;
  dmx120) selector=dmx120 lib=DMX120 sent=120; static_scene 130
    ini=$'\xEF\xBB\xBF; a USB Pro interface\n[output]\nprotocol = usb-pro\nport = \\\\.\\com51\n' ;;
  dmx60) selector=dmx60 lib=DMX60 sent=64; static_scene 70 ;;
  unplug) selector=dmx510usb lib=DMX510 sent=509 seconds=6 emulator_mode=(--unplug-at 1.5 --unplug-for 2)
    static_scene 510 ;;
  stall) selector=dmx510usb lib=DMX510 sent=509 seconds=7 emulator_mode=(--stall-at 1 --stall-for 2.5)
    static_scene 510 ;;
  bad-settings) selector=dmx510usb lib=DMX510 sent=0 seconds=1; static_scene 4 ;;
  held) selector=dmx510usb lib=DMX510 sent=0 seconds=2; static_scene 4 ;;
  *) fail "unknown scenario" ;;
esac

work="$build/usbpro-e2e/$scenario"
app="$work/app"
rm -rf "$work" && mkdir -p "$app"
cp "$build/demo/selvane-host.exe" "$build/network/$lib.dll" "$app/"
link="$WINEPREFIX/dosdevices/com$port"
record="$work/record.txt"
python3 "$here/usb_pro_emulator.py" --link "$link" --record "$record" --seconds 60 "${emulator_mode[@]}" \
  </dev/null >"$work/emulator.out" 2>&1 &
emulator=$!
stop_emulator() {
  kill -TERM "$emulator" 2>/dev/null
  wait "$emulator" 2>/dev/null
}
trap stop_emulator EXIT
wait_for_emulator_link "$link"

# Runs the host with one settings file; its summary in $output, its exit status in $status.
run_host() {
  printf '%s' "$1" >"$app/Selvane.network.ini"
  (cd "$app" && timeout 180 wine selvane-host.exe --title "Selvane USB Pro $scenario" --interface "$selector" \
    --seconds "$seconds" "${scene[@]}" </dev/null >"$work/host.out" 2>&1)
  status=$?
  output=$(tr -d '\r' <"$work/host.out")
  echo "$output"
}
summary() { sed -n "s/^X .*$1=\([0-9]*\).*/\1/p" "$record"; }

if [ "$scenario" = bad-settings ]; then
  while IFS='|' read -r text expected; do
    run_host "$(printf '%b' "$text")"
    [ "$status" -eq 4 ] || fail "exit status $status for '$text', expected 4 (output paused)"
    grep -qF "$expected" <<<"$output" || fail "no clear message for '$text': expected '$expected'"
  done <<'EOF'
[Output]\nProtocol = USB-Pro\n|Selvane.network.ini: Port: USB-Pro braucht einen Port
[Output]\nProtocol = USB-Pro\nPort = COM0\n|Selvane.network.ini: Zeile 3, Port: kein COM-Port: COM1 bis COM256
[Output]\nProtocol = USB-Pro\nPort = COM257\n|Selvane.network.ini: Zeile 3, Port: kein COM-Port: COM1 bis COM256
[Output]\nProtocol = USB-Pro\nPort = COM51\nUniverse = 1\n|Selvane.network.ini: Zeile 4, Universe: gilt nicht f
EOF
  stop_emulator
  trap - EXIT
  [ "$(summary messages)" = 0 ] || fail "the interface received $(summary messages) messages: a port was opened"
  echo "PASS ($scenario): refused with the reason, nothing opened"
  exit 0
fi

if [ "$scenario" = held ]; then
  # COM52 answers "access denied", what Windows' serial drivers answer while
  # another program has the port open (Wine itself keeps no COM port
  # exclusive): a link to a folder gives the same error.
  held_link="$WINEPREFIX/dosdevices/com52"
  mkdir -p "$work/held" && ln -sfn "$work/held" "$held_link" || fail "cannot make $held_link"
  run_host $'[Output]\nProtocol = USB-Pro\nPort = COM52\n'
  rm -f "$held_link"
  [ "$status" -eq 0 ] || fail "exit status $status: the library must go on answering 1 while the port is held"
  grep -q "COM52 ist von einem anderen Programm belegt" <<<"$output" || fail "the status does not say that another program holds the port"
  grep -q "problems reported   1$" <<<"$output" || fail "not exactly one report"
  grep -q "frames sent         0," <<<"$output" || fail "frames counted sent to a port that never opened"
  echo "PASS ($scenario): one report that says so, output paused, the host undisturbed"
  exit 0
fi

run_host "$ini"
stop_emulator
trap - EXIT
[ "$status" -eq 0 ] || fail "selvane-host ended with status $status"
grep -q "$lib.dll (network library" <<<"$output" || fail "the host did not load the network $lib.dll"
grep -q "USB-Pro on COM$port" <<<"$output" || fail "the host's status does not show USB-Pro on COM$port"
python3 "$here/check_usb_pro_e2e.py" "$scenario" "$record" "$work/host.out" "$sent" "$seconds" || exit 1
echo "PASS ($scenario)"
