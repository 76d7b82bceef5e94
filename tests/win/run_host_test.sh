#!/usr/bin/env bash
# selvane-host end to end against the registered plug-in and the virtual interfaces.
# Usage: run_host_test.sh <selvane-host.exe> chase|unregistered|zero-answer
set -uo pipefail
host=$1 mode=$2
title="Selvane Host Test $mode"
key="HKCU\\Software\\VB and VBA Program Settings\\$title"
wine reg delete "$key" /f </dev/null >/dev/null 2>&1
fail() { echo "FAIL: $*"; exit 1; }
run() { output=$(cd "$(dirname "$host")" && timeout 60 wine "$(basename "$host")" "$@" </dev/null 2>&1 | tr -d '\r'); status=${PIPESTATUS[0]}; }

case "$mode" in
  chase)
    run --title "$title" --scene chase --seconds 2
    echo "$output"
    [ "$status" -eq 0 ] || fail "exit status $status"
    grep -q 'DMX510.dll (virtual)' <<<"$output" || fail "the first run must drive the DMX-510USB"
    frames=$(sed -n 's/.*(virtual): \([0-9]*\) frames.*/\1/p' <<<"$output")
    [ "${frames:-0}" -ge 20 ] || fail "only ${frames:-0} frames in 2 s"
    grep -q 'SetChannel .* 0 errors' <<<"$output" || fail "SetChannel errors"
    grep -Eq 'lit in last frame .*[0-9]+=ff' <<<"$output" || fail "the chase's levels did not arrive"
    stored=$(wine reg query "$key\\Plugins\\Selvane.out.dll" /v ChannelCount </dev/null 2>/dev/null | tr -d '\r' \
      | sed -n 's/.*REG_SZ[[:space:]]*//p')
    [ "$stored" = 510 ] || fail "Term stored '$stored'"
    ;;
  unregistered)
    run --progid Selvane.NotInstalled --seconds 1
    echo "$output"
    [ "$status" -eq 3 ] || fail "exit status $status, expected 3"
    grep -q 'Selvane.NotInstalled is not registered' <<<"$output" || fail "no clear message"
    ;;
  zero-answer)
    run --title "$title" --interface dmx120 --zero-after 3 --seconds 2
    echo "$output"
    [ "$status" -eq 4 ] || fail "exit status $status, expected 4"
    grep -q 'answered 0, so output is paused' <<<"$output" || fail "no clear message"
    grep -q 'DMX120.dll (virtual): 4 frames' <<<"$output" || fail "expected 3 frames answered, the 4th paused"
    ;;
  *) fail "unknown mode $mode" ;;
esac
wine reg delete "$key" /f </dev/null >/dev/null 2>&1
exit 0
