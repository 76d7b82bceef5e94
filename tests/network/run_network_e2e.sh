#!/usr/bin/env bash
# End to end against a real receiver: the plug-in under Wine, driven by
# selvane-host, with a network interface library beside it, sending to olad
# in a private network namespace. The scenarios share one namespace, olad and
# wineserver (a Wine session takes long to start), each on its own universe.
# Usage: run_network_e2e.sh <build dir> <scenario>...
#   scenarios: sacn-dmx510 artnet-dmx120 sacn-dmx60 no-destination
#   faults (network_faults.exe drives a library directly): settling threads counts utf16 zeros
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

# Frames olad logged for the universe in a show file, and those among them
# that are not one level on channels 1..$3 and zero beyond ("whole").
show_frames() {
  awk -v u="$2" -v n="$3" '
    NF == 2 && $1 == u {
      frames++
      k = split($2, v, ",")
      bad = (v[1] == 0)
      for (i = 2; i <= n; i++) if (v[i] != v[1]) bad = 1
      for (i = n + 1; i <= k; i++) if (v[i] != 0) bad = 1
      if (bad) torn++
    }
    END { print frames + 0, torn + 0 }' "$1"
}

run_fault() {
  scenario=$1
  echo "== $scenario"
  local lib universe ini=
  case "$scenario" in
    settling) lib=DMX510 universe=1 ;;  # the program writes the file itself
    threads) lib=DMX60 universe=2 ini=$'[Output]\nProtocol = sACN\nDestination = 127.0.0.1\nUniverse = 2\n' ;;
    counts) lib=DMX510 universe=1 ini=$'[Output]\nProtocol = sACN\nDestination = 127.0.0.1\nUniverse = 1\n' ;;
    utf16) lib=DMX120 universe=3 ;;
    zeros) lib=DMX120 universe=3 ini=$'[Output]\nProtocol = Art-Net\nDestination = 127.0.0.01\nUniverse = 3\n' ;;
    *) fail "unknown scenario" ;;
  esac
  rm -f "$app"/DMX*.dll "$app/Selvane.network.ini"
  cp "$build/network/$lib.dll" "$build/tests-bin/network_faults.exe" "$app/"
  if [ "$scenario" = utf16 ]; then
    # Notepad's "Unicode": UTF-16 little-endian with a byte-order mark.
    { printf '\xff\xfe'; printf '[Output]\r\nProtocol = Art-Net\r\nDestination = 127.0.0.1\r\nUniverse = 3\r\n' |
      iconv -f UTF-8 -t UTF-16LE; } >"$app/Selvane.network.ini"
  elif [ -n "$ini" ]; then
    printf '%s' "$ini" >"$app/Selvane.network.ini"
  fi
  recorder_start "$work/$scenario.show" "$universe"
  local status
  set +e
  (cd "$app" && ip netns exec "$RECEIVER_NS" timeout "${SELVANE_NETWORK_HOST_TIMEOUT:-300}" wine network_faults.exe "$scenario" \
    </dev/null >"$work/$scenario.out" 2>&1)
  status=$?
  set -e
  sleep 0.3
  recorder_stop
  tr -d '\r' <"$work/$scenario.out"
  [ "$status" -eq 0 ] || fail "network_faults $scenario ended with status $status"
  local frames torn
  case "$scenario" in
    settling)
      read -r frames torn < <(show_frames "$work/$scenario.show" 1 509)
      [ "$frames" -eq 0 ] || fail "$frames frames went to universe 1, which only the half-written file named"
      [ "$(receiver_levels 2 | cut -d' ' -f1)" = 77 ] || fail "universe 2, which the whole file names, did not get the levels"
      echo "receiver: nothing on universe 1, the levels on universe 2" ;;
    threads)
      read -r frames torn < <(show_frames "$work/$scenario.show" 2 64)
      echo "receiver: $frames frames, $torn of them not one thread's whole frame"
      [ "$frames" -gt 0 ] || fail "the receiver got nothing"
      [ "$torn" -eq 0 ] || fail "$torn torn or mixed frames" ;;
    counts)
      read -r frames torn < <(show_frames "$work/$scenario.show" 1 509)
      echo "receiver: $frames frames"
      [ "$frames" -eq 1 ] && [ "$torn" -eq 0 ] || fail "the receiver got $frames frames ($torn not the one good frame)" ;;
    utf16|zeros)
      read -r frames torn < <(show_frames "$work/$scenario.show" 3 120)
      [ "$frames" -eq 0 ] || fail "$frames frames went out with a file the library cannot use" ;;
  esac
  [ "$(guard_udp_dropped)" = 0 ] || fail "UDP left loopback"
  echo "PASS ($scenario)"
}

for s in "$@"; do
  case "$s" in
    settling|threads|counts|utf16|zeros) run_fault "$s" ;;
    *) run_scenario "$s" ;;
  esac
done
