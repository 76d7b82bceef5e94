#!/usr/bin/env bash
# Runs a VBScript or JScript file through Wine's cscript against the registered
# plug-in, with a dialog closer that picks DMX-120 in its Configure call, and
# checks the script's verdict and the setting that its Term saved.
# Usage: run_script_test.sh <script> <dialog_closer.exe> <application title>
set -uo pipefail
script=$1 closer=$2 title=$3
key="HKCU\\Software\\VB and VBA Program Settings\\$title"
wine reg delete "$key" /f </dev/null >/dev/null 2>&1

wine "$closer" DMX-120 </dev/null >/dev/null 2>&1 &
closer_pid=$!
output=$(timeout 60 wine cscript //nologo "$(winepath -w "$script")" </dev/null 2>&1 | tr -d '\r')
status=$?
# The closer ends by itself once it has closed the dialog, or after its own timeout.
wait "$closer_pid" 2>/dev/null
echo "$output"
stored=$(wine reg query "$key\\Plugins\\Selvane.out.dll" /v ChannelCount </dev/null 2>/dev/null | tr -d '\r' \
  | sed -n 's/.*REG_SZ[[:space:]]*//p')
wine reg delete "$key" /f </dev/null >/dev/null 2>&1
[ "$status" -eq 0 ] || { echo "FAIL: script exit status $status"; exit 1; }
grep -qx ok <<<"$output" || { echo "FAIL: script did not report ok"; exit 1; }
[ "$stored" = 120 ] || { echo "FAIL: Term stored '$stored', expected 120 from the dialog"; exit 1; }
echo "stored ChannelCount $stored"
