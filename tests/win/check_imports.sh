#!/usr/bin/env bash
# Fails unless every DLL that the given PE files import is a Windows system DLL:
# no libstdc++, libgcc or libwinpthread DLL may be needed on a host machine.
# Usage: check_imports.sh <objdump> <file>...
set -euo pipefail
objdump=$1; shift
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|shell32|shlwapi|comctl32|uuid|version|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for file in "$@"; do
  imports=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$imports" ] || { echo "$file: no imports found (not a PE file?)"; status=1; continue; }
  for dll in $imports; do
    if [[ ! $dll =~ $allowed ]]; then
      echo "$file imports $dll, which is not a Windows system DLL"
      status=1
    fi
  done
  echo "$file imports: $(echo $imports)"
done
exit $status
