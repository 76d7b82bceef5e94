#!/usr/bin/env bash
# Registers and unregisters Selvane.out.dll with Wine's regsvr32 in the test
# prefix (the environment comes from ctest).
#   registration.sh register <dll>      machine-wide, for the late-bound tests
#   registration.sh unregister <dll>
#   registration.sh roundtrip <dll> <state dir>
#       for the machine-wide and the per-user variant: register, check what was
#       written, unregister, and compare `reg export` of HKLM, HKCU and HKU with
#       the state before; the per-user variant must write nothing under HKLM.
set -uo pipefail
mode=$1
dll=$(winepath -w "$2" 2>/dev/null)
fail() { echo "FAIL: $*"; exit 1; }

regsvr() { wine regsvr32 /s "$@" </dev/null >/dev/null 2>&1; }

case "$mode" in
  register)
    regsvr "$dll" || fail "regsvr32 returned $?"
    wine reg query 'HKCR\Selvane.clsOutputDriver\CLSID' </dev/null >/dev/null 2>&1 || fail "ProgID missing"
    echo "registered $dll"
    exit 0 ;;
  unregister)
    regsvr /u "$dll" || fail "regsvr32 /u returned $?"
    echo "unregistered $dll"
    exit 0 ;;
  roundtrip) ;;
  *) fail "unknown mode $mode" ;;
esac

state=$3
mkdir -p "$state"
# Settings that concurrent tests write come and go; they are not ours to compare here.
snapshot() {
  local tag=$1 hive
  for hive in HKLM HKCU HKU; do
    wine reg export "$hive" "$(winepath -w "$state/$tag-$hive.reg")" /y </dev/null >/dev/null 2>&1 \
      || fail "reg export $hive"
    iconv -f UTF-16LE -t UTF-8 "$state/$tag-$hive.reg" \
      | awk 'BEGIN{skip=0} /^\[/{skip=($0 ~ /VB and VBA Program Settings/)} !skip' >"$state/$tag-$hive.txt"
  done
}
same() {  # same <before> <after> <hive>
  cmp -s "$state/$1-$3.txt" "$state/$2-$3.txt" && return 0
  diff "$state/$1-$3.txt" "$state/$2-$3.txt" | head -20
  return 1
}
query() { wine reg query "$1" ${2:+/v "$2"} </dev/null 2>/dev/null | tr -d '\r'; }

clsid_of() { query 'HKCR\Selvane.clsOutputDriver\CLSID' | sed -n 's/.*REG_SZ[[:space:]]*//p' | head -1; }

# Start from a registry without us (a demo run may have left a per-user registration).
regsvr /u "$dll"; regsvr /u /n /i:user "$dll"
snapshot before
# Machine-wide.
regsvr "$dll" || fail "regsvr32 returned $?"
clsid=$(clsid_of)
[ -n "$clsid" ] || fail "ProgID Selvane.clsOutputDriver not registered"
query "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel | grep -q Apartment || fail "ThreadingModel"
query "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -qi 'Selvane.out.dll' || fail "InprocServer32 path"
query 'HKCR\Interface\{756BD47F-8797-4BBB-928A-0B58C2F5F6C6}\ProxyStubClsid32' \
  | grep -qi '00020424' || fail "interface not marshalled through the type library"
query 'HKCR\TypeLib\{E1C3F39E-AD04-4B27-8FE6-4A2531EEFE60}\1.0\0\win32' | grep -qi 'Selvane.out.dll' \
  || fail "type library not registered"
regsvr /u "$dll" || fail "regsvr32 /u returned $?"
snapshot machine
for hive in HKLM HKCU HKU; do same before machine $hive || fail "unregistering left $hive changed"; done
echo "machine-wide: registered and removed without a trace"

# Per user.
regsvr /n /i:user "$dll" || fail "regsvr32 /n /i:user returned $?"
snapshot user-registered
same before user-registered HKLM || fail "per-user registration wrote under HKLM"
query "HKCU\\Software\\Classes\\Selvane.clsOutputDriver\\CLSID" | grep -qi "$clsid" || fail "per-user ProgID"
query "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel | grep -q Apartment \
  || fail "per-user ThreadingModel"
query 'HKCU\Software\Classes\TypeLib\{E1C3F39E-AD04-4B27-8FE6-4A2531EEFE60}\1.0\0\win32' \
  | grep -qi 'Selvane.out.dll' || fail "per-user type library"
regsvr /u /n /i:user "$dll" || fail "regsvr32 /u /n /i:user returned $?"
snapshot user
for hive in HKLM HKCU HKU; do same before user $hive || fail "per-user unregistering left $hive changed"; done
echo "per user: registered under HKCU only and removed without a trace"
