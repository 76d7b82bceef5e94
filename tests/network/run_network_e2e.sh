#!/usr/bin/env bash
# End to end against a real receiver: the plug-in under Wine, driven by
# selvane-host, with a network interface library beside it, sending to olad
# in a private network namespace. The scenarios share one namespace, olad and
# wineserver (a Wine session takes long to start), each on its own universe.
# Usage: run_network_e2e.sh <build dir> <scenario>...
#   scenarios: sacn-dmx510 artnet-dmx120 sacn-dmx60 no-destination
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift
seconds=${SELVANE_NETWORK_SECONDS:-3}
. "$here/../../tools/network/receiver.sh"
. "$here/../../tools/network/namespace_wine.sh"
scenario=setup
fail() { echo "FAIL ($scenario): $*" >&2; exit 1; }

work="$build/network-e2e"
rm -rf "$work"
mkdir -p "$work/app"
receiver_start "$work" e2e
ns_wine_start "$build"

# The host's folder: the plug-in, the host and one network library, never the virtual interfaces.
app="$work/app"
cp "$build/bin/Selvane.out.dll" "$build/demo/selvane-host.exe" "$app/"
ns_wine regsvr32 /s /n /i:user "$(ns_wine_path "$app/Selvane.out.dll")" </dev/null >/dev/null 2>&1 ||
  fail "regsvr32 could not register the plug-in in the network prefix"

level() { echo $(( ($1 * 37 + 11) % 256 )); }

run_scenario() {
  scenario=$1
  echo "== $scenario"
  # The interface selector, its library, the channels the host sets, the
  # channels the plug-in hands the library, the OLA universe, and the .ini.
  local selector lib set sent universe ini
  case "$scenario" in
    sacn-dmx510) selector=dmx510usb lib=DMX510 set=510 sent=509 universe=1
      ini=$'[Output]\nProtocol = sACN\nDestination = 127.0.0.1\nUniverse = 1\nPriority = 100\nSourceName = Selvane e2e\n' ;;
    artnet-dmx120) selector=dmx120 lib=DMX120 set=130 sent=120 universe=3
      ini=$'\xEF\xBB\xBF; Art-Net to the node on loopback\n[Output]\nprotocol = art-net\nDestination = 127.0.0.1\nUniverse = 3\n' ;;
    sacn-dmx60) selector=dmx60 lib=DMX60 set=70 sent=64 universe=2
      ini=$'[Output]\nProtocol = sACN\nDestination = 127.0.0.1\nUniverse = 2\n' ;;
    no-destination) selector=dmx120 lib=DMX120 set=10 sent=0 universe=3
      ini=$'[Output]\nProtocol = Art-Net\nUniverse = 3\n' ;;
    *) fail "unknown scenario" ;;
  esac
  rm -f "$app"/DMX*.dll
  cp "$build/network/$lib.dll" "$app/"
  printf '%s' "$ini" >"$app/Selvane.network.ini"
  local args=() ch
  for ((ch = 1; ch <= set; ch++)); do args+=("$ch=$(level "$ch")"); done

  local before status output
  before=$(receiver_levels "$universe") || fail "olad did not answer get_dmx for universe $universe"
  recorder_start "$work/$scenario.show" "$universe"
  set +e
  (cd "$app" && ip netns exec "$RECEIVER_NS" timeout "${SELVANE_NETWORK_HOST_TIMEOUT:-300}" wine selvane-host.exe --title "Selvane Network $scenario" \
    --interface "$selector" --seconds "$seconds" --scene static "${args[@]}" </dev/null >"$work/$scenario.out" 2>&1)
  status=$?
  set -e
  sleep 0.3
  recorder_stop
  output=$(tr -d '\r' <"$work/$scenario.out")
  echo "$output"

  if [ "$scenario" = no-destination ]; then
    [ "$status" -eq 4 ] || fail "exit status $status, expected 4 (output paused)"
    grep -q 'Selvane.network.ini: Destination: Art-Net braucht ein Ziel' <<<"$output" ||
      fail "the host does not show the file and the key at fault"
    grep -q 'frames sent         0, 0 send errors' <<<"$output" || fail "frames went out without a destination"
    [ "$(receiver_levels "$universe")" = "$before" ] || fail "the receiver's levels changed"
    [ "$(guard_udp_dropped)" = 0 ] || fail "UDP left loopback"
    echo "PASS ($scenario): output paused, the reason shown"
    return
  fi

  [ "$status" -eq 0 ] || fail "selvane-host ended with status $status"
  grep -q "$lib.dll (network library" <<<"$output" || fail "the host did not load the network $lib.dll"
  local sentFrames sendErrors received longest
  sentFrames=$(sed -n 's/^  frames sent *\([0-9]*\), \([0-9]*\) send errors.*/\1/p' <<<"$output")
  sendErrors=$(sed -n 's/^  frames sent *\([0-9]*\), \([0-9]*\) send errors.*/\2/p' <<<"$output")
  [ -n "$sentFrames" ] || fail "no network status in the host's summary"
  [ "$sendErrors" = 0 ] || fail "$sendErrors send errors"
  [ "$sentFrames" -ge $((seconds * 22 * 7 / 10)) ] || fail "only $sentFrames frames sent in $seconds s"

  # Every frame the receiver logged, and the longest gap between two of them.
  read -r received longest < <(awk -v u="$universe" '
    NF == 2 && $1 == u { n++; next }
    NF == 1 && n > 0 { if ($1 > max) max = $1 }
    END { print n + 0, max + 0 }' "$work/$scenario.show")
  echo "receiver: $received of $sentFrames frames, longest gap $longest ms"
  [ $((received * 100)) -ge $((sentFrames * 95)) ] || fail "the receiver logged $received of $sentFrames frames (< 95%)"
  [ "$longest" -le 100 ] || fail "a gap of $longest ms between frames at the receiver"

  # Channel for channel: what the host set, as far as the interface takes it, and 0 beyond.
  local got wrong=0 want
  got=($(receiver_levels "$universe"))
  [ "${#got[@]}" -eq 512 ] || fail "the receiver reported ${#got[@]} levels, not 512"
  for ((ch = 1; ch <= 512; ch++)); do
    want=0
    [ "$ch" -le "$sent" ] && want=$(level "$ch")
    if [ "${got[ch - 1]}" != "$want" ]; then
      [ "$wrong" -lt 5 ] && echo "channel $ch: receiver ${got[ch - 1]}, expected $want"
      wrong=$((wrong + 1))
    fi
  done
  [ "$wrong" -eq 0 ] || fail "$wrong channels differ at the receiver"
  echo "levels: channels 1-$sent as set, $((sent + 1))-512 zero"
  local dropped
  dropped=$(guard_udp_dropped)
  [ "$dropped" = 0 ] || fail "the guard dropped $dropped UDP packets leaving loopback"
  echo "guard: no UDP packet left loopback"
  echo "PASS ($scenario)"
}

for s in "$@"; do run_scenario "$s"; done
