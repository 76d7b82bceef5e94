#!/usr/bin/env bash
# Fails if the C++ runtime's exception or thread support went into a DLL that
# hosts load and unload: each load and unload of it costs a TLS slot and heap.
# Also fails if the DLL refuses frame-based exception handlers (NO_SEH), on
# which the guard around vendor calls depends.
# Usage: check_runtime.sh <objdump> <dll> <link map>
set -euo pipefail
objdump=$1 dll=$2 map=$3
[ -s "$map" ] || { echo "no link map at $map"; exit 1; }
status=0
# Archive members that the link pulled in (not the libraries merely offered),
# and the runtime's symbols.
members=$(grep -oE '[^ /(]+\.a\([^)]+\)' "$map" | sort -u)
bad_members=$(grep -E '^lib(gcc_eh|winpthread)\.a|^lib(stdc|sup)\+\+\.a\((eh_[a-z_]+|functexcept|new_op|new_opnt|del_op)\.o\)' <<<"$members" || true)
bad_symbols=$(grep -oE '\b(__cxa_throw|__cxa_begin_catch|__gxx_personality_[a-z0-9]+|pthread_[a-z_]+)\b' "$map" | sort -u || true)
if found="$bad_members$bad_symbols" && [ -n "$found" ]; then
  echo "$dll links the C++ exception or thread runtime:"
  echo "$bad_members" "$bad_symbols" | head -10
  status=1
fi
characteristics=$("$objdump" -p "$dll" | awk '/^DllCharacteristics/ {print $2}')
if (( 0x$characteristics & 0x400 )); then
  echo "$dll is marked NO_SEH (DllCharacteristics $characteristics)"
  status=1
fi
[ $status -eq 0 ] && echo "$dll: no exception or thread runtime, frame handlers allowed"
exit $status
