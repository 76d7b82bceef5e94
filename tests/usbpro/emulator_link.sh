# Sourced by the USB Pro test scripts. Waits until the emulated interface,
# started as $emulator with its output in $work/emulator.out, has made the
# COM port's link in the Wine prefix; fails (the script's own `fail`) if it
# ends or makes none.
wait_for_emulator_link() {
  local link=$1
  for _ in $(seq 200); do
    [ -L "$link" ] && return 0
    kill -0 "$emulator" 2>/dev/null || fail "the emulator ended: $(cat "$work/emulator.out")"
    sleep 0.05
  done
  fail "the emulator made no link $link"
}
