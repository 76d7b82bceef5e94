#!/usr/bin/env bash
# Sourced by the installer tests: a fresh private Wine prefix per test, and
# what the tests read from it (registry exports, files).
# Usage: . wine-installer-lib.sh <test dir> [<template dir>]
#   The prefix is <test dir>/wineprefix: a copy of the unused prefix that
#   wine-start.sh made in <template dir>, or made anew.
: "${1:?test dir}"
release_tests_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
test_dir=$1
rm -rf "$test_dir"
mkdir -p "$test_dir"
if [ -n "${2:-}" ]; then
  [ -f "$2/wineprefix/.selvane-ready" ] || { echo "FAIL: no prefix in $2"; exit 1; }
  cp -a "$2/wineprefix" "$test_dir/"
  # Debian's Wine names the server's socket folder in this file: the copy gets its own.
  rm -f "$test_dir/wineprefix/wineserver"
fi
# Ends this prefix's server and every Wine process in it, also after a failed start.
trap 'bash "$release_tests_root/tools/wine/wine-stop.sh" "$test_dir" >/dev/null
      WINEPREFIX="$test_dir/wineprefix" wineserver -k </dev/null >/dev/null 2>&1' EXIT
bash "$release_tests_root/tools/wine/wine-start.sh" "$test_dir" >/dev/null || { echo "FAIL: cannot start Wine in $test_dir"; exit 1; }
. "$release_tests_root/tools/wine/wine-env.sh" "$test_dir"

fail() { echo "FAIL: $*"; exit 1; }
winq() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
unix_path() { winepath -u "$1" 2>/dev/null; }
win_path() { winepath -w "$1" 2>/dev/null; }

CLSID='{8B72BBAD-0061-469C-8789-0E8F0A74F017}'
LIBID='{E1C3F39E-AD04-4B27-8FE6-4A2531EEFE60}'
IID='{756BD47F-8797-4BBB-928A-0B58C2F5F6C6}'
PROGID=Selvane.clsOutputDriver
SETTING_KEY='HKCU\Software\VB and VBA Program Settings\Selvane Host\Plugins\Selvane.out.dll'

# msiexec; its exit code comes back modulo 256 (1603 as 67).
msiexec_run() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
# The same with a verbose log in the test folder: what msiexec told the user.
msiexec_logged() {  # msiexec_logged <log name> msiexec-args...
  local log=$test_dir/$1.log
  shift
  wine msiexec "$@" /qn /l*v "$(win_path "$log")" </dev/null >/dev/null 2>&1
}
# One message line of the log (not its closing list of properties) holds every text.
log_says() {  # log_says <log name> <text>...
  local log=$test_dir/$1.log lines text
  shift
  lines=$(grep -av '^Property(' "$log")
  for text in "$@"; do lines=$(grep -aiF -- "$text" <<<"$lines"); done
  [ -n "$lines" ] || fail "msiexec's log has no message with: $* (see $log)"
}

# The four keys that registration writes, below <classes root>, as one text:
# UTF-8, values sorted within each key (their order carries no meaning).
# A type library's FLAGS as the file holds them: Wine's RegisterTypeLib writes
# the loaded library's flags, to which its loader adds "has a disk image" (8).
export_com_keys() {  # export_com_keys <classes root, e.g. HKCU\Software\Classes> <out>
  local classes=$1 out=$2 key tmp
  tmp=$(mktemp -d "$test_dir/export.XXXX")
  : >"$out"
  for key in "CLSID\\$CLSID" "$PROGID" "TypeLib\\$LIBID" "Interface\\$IID"; do
    if wine reg export "$classes\\$key" "$(win_path "$tmp/k.reg")" /y </dev/null >/dev/null 2>&1; then
      iconv -f UTF-16LE -t UTF-8 "$tmp/k.reg" | tr -d '\r' | sed '1s/^\xef\xbb\xbf//' | grep -v '^Windows Registry Editor' \
        | perl -ne 'sub flush { print sort @v; @v = () } if (/^\[/) { flush(); $flags = /\\FLAGS\]$/; print; next }
                   s/^\@="(\d+)"/"\@=\"" . ($1 & ~8) . "\""/e if $flags; push @v, $_ if /\S/; END { flush() }' \
        >>"$out"
    else
      echo "(missing) $classes\\$key" >>"$out"
    fi
  done
  rm -rf "$tmp"
}

# Whole hives, UTF-8, without the volatile Wine bookkeeping of time stamps.
export_hives() {  # export_hives <out prefix>
  local hive
  for hive in HKLM HKCU; do
    wine reg export "$hive" "$(win_path "$1-$hive.reg")" /y </dev/null >/dev/null 2>&1 || fail "reg export $hive"
    iconv -f UTF-16LE -t UTF-8 "$1-$hive.reg" | tr -d '\r' >"$1-$hive.txt"
  done
}

# Files below C:\ outside the Windows folder and the temporary folders.
list_files() {  # list_files <out>
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -type f -print | LC_ALL=C sort) >"$1"
}

setting_value() {
  winq reg query "$SETTING_KEY" /v ChannelCount | sed -n 's/.*REG_SZ[[:space:]]*//p'
}

# The GUID as Windows Installer stores it in its own keys ("packed").
packed_guid() {
  local g=${1//[\{\}-]/}
  local rev2='' i
  for ((i = 16; i < 32; i += 2)); do rev2+=${g:i+1:1}${g:i:1}; done
  echo "$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")$rev2"
}

# Runs selvane-host.exe from <host dir> (the virtual interfaces beside it).
run_host() {  # run_host <host dir> args...
  local dir=$1
  shift
  host_status=0
  host_output=$(cd "$dir" && timeout 90 wine selvane-host.exe "$@" </dev/null 2>&1 | tr -d '\r') || host_status=$?
}
