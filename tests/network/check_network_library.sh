#!/usr/bin/env bash
# A network interface library exports its maker's entry point and
# SelvaneNetworkStatus by plain names, imports only Windows system DLLs, and
# carries none of the static C++ runtime's exception or thread machinery
# (under Wine that leaks a TLS slot and memory on every load and unload).
# Usage: check_network_library.sh <objdump> <dll>
set -euo pipefail
objdump=$1 dll=$2
nm=${objdump%objdump}nm
fail() { echo "FAIL: $dll: $*"; exit 1; }

case "$(basename "$dll")" in
  DMX510.dll) entry=SetLevel ;;
  DMX60.dll|DMX120.dll) entry=OutDMX ;;
  *) fail "not a network interface library" ;;
esac
exports=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[[:space:]]*\[/{print $NF} on && /^$/{on=0}' | sort | xargs)
echo "exports: $exports"
[ "$exports" = "$(printf '%s\n' "$entry" SelvaneNetworkStatus | sort | xargs)" ] || fail "unexpected exports"

imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | xargs)
echo "imports: $imports"
for i in $imports; do
  [[ $i =~ ^(kernel32|advapi32|ws2_32|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$ ]] || fail "imports $i"
done

symbols=$("$nm" "$dll")
[ "$(wc -l <<<"$symbols")" -gt 50 ] || fail "no symbol table to check (stripped?)"
forbidden=$(grep -E ' _*(__cxa_throw|__cxa_begin_catch|_Unwind_RaiseException|__gxx_personality|pthread_[a-z_]+|__emutls_[a-z_]+|__cxa_guard_acquire|__cxa_thread_atexit)' <<<"$symbols" || true)
[ -z "$forbidden" ] || fail "links C++ runtime support it must not carry:
$forbidden"
echo "no exception, thread or emulated-TLS runtime linked in"
