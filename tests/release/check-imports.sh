#!/usr/bin/env bash
# Fails when the program's import table names a DLL that Windows might take from the program's own
# folder: only the system's known DLLs, which it always loads from the system folder, and comctl32,
# which the manifest binds to the system's version 6, may be imported. Anything else is loaded at run
# time from the system folder, where present.
#   check-imports.sh OBJDUMP Songferry.exe
set -euo pipefail
objdump=$1 program=$2

allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll \
shlwapi.dll msvcrt.dll comctl32.dll "
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
[ -n "$imports" ] || { echo "check-imports: no import table read from $program" >&2; exit 1; }
status=0
for dll in $imports; do
  if [[ "$allowed" != *" $dll "* ]]; then
    echo "check-imports: $(basename "$program") imports $dll, which may come from the program's folder" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] || exit 1
echo "check-imports: $(basename "$program") imports only" $imports
