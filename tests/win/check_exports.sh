#!/usr/bin/env bash
# The DLL exports exactly the server entry points, by their plain names.
# Usage: check_exports.sh <objdump> <dll>
set -euo pipefail
exports=$("$1" -p "$2" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[[:space:]]*\[/{print $NF} on && /^$/{on=0}' | sort)
expected=$(printf '%s\n' DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer)
echo "exports: $(echo $exports)"
[ "$exports" = "$expected" ] || { echo "FAIL: expected: $(echo $expected)"; exit 1; }
