#!/usr/bin/env bash
# Each Windows program given must be a 32-bit PE (i386) that imports only
# DLLs every Windows installation has: the programs are linked statically so
# that they run from a copied .exe alone.
# Usage: tools/check-windows-imports.sh PROGRAM.exe...   (OBJDUMP overrides
# the tool). Exits non-zero when any program breaks the rule.
set -euo pipefail

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
system_dlls="kernel32 user32 gdi32 comctl32 comdlg32 ole32 oleaut32 setupapi msvcrt advapi32 shell32"
status=0
for program in "$@"; do
  header=$("$OBJDUMP" -f "$program")
  if ! grep -q "file format pei-i386" <<<"$header"; then
    echo "$program: not a 32-bit PE program" >&2
    status=1
    continue
  fi
  while read -r dll; do
    name=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
    if ! grep -qw "$name" <<<"$system_dlls"; then
      echo "$program: imports $dll, which is not a system DLL" >&2
      status=1
    fi
  done < <("$OBJDUMP" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
exit $status
