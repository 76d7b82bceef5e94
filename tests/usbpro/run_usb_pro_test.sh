#!/usr/bin/env bash
# The serial port against the emulated USB Pro interface under Wine: starts the
# emulator on a pseudo-terminal linked as a COM port of the private prefix,
# runs the port program at the timer's rhythm, then checks the emulator's
# record against the program's ticks.
# Usage: run_usb_pro_test.sh <usb_pro_port_run.exe> frames|unplug|stall
set -uo pipefail
program=$(realpath "$1") mode=$2
here="$(cd "$(dirname "$0")" && pwd)"
fail() { echo "FAIL: $*"; exit 1; }
. "$here/emulator_link.sh"

command -v python3 >/dev/null || fail "python3 is needed for the emulated interface, and there is none in PATH"
python3 -c 'import os, tty; m, s = os.openpty(); tty.setraw(s)' 2>/dev/null ||
  fail "no pseudo-terminal can be had here (is /dev/ptmx there, and devpts mounted?)"
[ -d "${WINEPREFIX:-}/dosdevices" ] || fail "no Wine prefix with a dosdevices folder (WINEPREFIX='${WINEPREFIX:-}')"

case "$mode" in
  frames) port=41 seconds=3 checks=checks emulator_mode=() ;;
  unplug) port=45 seconds=7 checks="" emulator_mode=(--unplug-at 1.5 --unplug-for 2) ;;
  # An interface that never tells its serial number, too.
  stall) port=47 seconds=8 checks="" emulator_mode=(--stall-at 1 --stall-for 2.5 --serial 0) ;;
  *) fail "unknown mode $mode" ;;
esac
link="$WINEPREFIX/dosdevices/com$port"
work="$(dirname "$program")/usbpro-$mode"
rm -rf "$work" && mkdir -p "$work"
record="$work/record.txt" ticks="$work/ticks.txt"
# For the opening checks: COM<port + 2> answers "access denied", as a port
# that another program holds does on Windows (Wine keeps no COM port exclusive).
denied="$WINEPREFIX/dosdevices/com$((port + 2))"
if [ -n "$checks" ]; then
  mkdir -p "$work/denied" && ln -s "$work/denied" "$denied" || fail "cannot make $denied"
fi

# Its own output in a file of its own: a wineserver may print into ours.
python3 "$here/usb_pro_emulator.py" --link "$link" --record "$record" --seconds 60 "${emulator_mode[@]}" \
  </dev/null >"$work/emulator.out" 2>&1 &
emulator=$!
stop_emulator() {
  kill -TERM "$emulator" 2>/dev/null
  wait "$emulator" 2>/dev/null
  [ -z "$checks" ] || rm -f "$denied"
}
trap stop_emulator EXIT
wait_for_emulator_link "$link"

(cd "$(dirname "$program")" && timeout 180 wine "$(basename "$program")" $port $seconds "Z:$ticks" $checks \
  </dev/null >"$work/program.out" 2>&1)
status=$?
stop_emulator
trap - EXIT
[ "$status" -eq 0 ] || fail "the port program ended with status $status: $(cat "$work/program.out")"
[ ! -L "$link" ] || fail "the emulator left its link $link behind"
python3 "$here/check_usb_pro_run.py" "$mode" "$record" "$ticks"
