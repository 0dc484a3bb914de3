#!/usr/bin/env bash
# Fails when the program's import table names a DLL that Windows might take from the program's own
# folder: only the system's known DLLs, which it always loads from the system folder, and comctl32,
# which the manifest binds to the system's version 6, may be imported. Anything else is loaded at run
# time from the system folder, where present.
# The exceptions are LAME's and TagLib's DLLs, which ship beside the program so that a user can
# replace them: they must be there, and import only what the program itself may (no MinGW runtime).
# A DLL checked on its own (as build-codecs.sh checks those two) may import only the system's DLLs.
#   check-imports.sh OBJDUMP Songferry.exe|library.dll
set -euo pipefail
objdump=$1 program=$2

system=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll \
shlwapi.dll msvcrt.dll comctl32.dll "
beside=" libmp3lame-0.dll libtag.dll "

# Prints the DLLs that `file` imports, in lower case.
imports_of() {
  local imports
  imports=$("$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  [ -n "$imports" ] || { echo "check-imports: no import table read from $1" >&2; return 1; }
  echo $imports
}

status=0
imports=$(imports_of "$program")
for dll in $imports; do
  if [[ "$system" == *" $dll "* ]]; then
    continue
  elif [[ "$program" == *.exe && "$beside" == *" $dll "* ]]; then
    # Looked up case-blind, as Windows does.
    found=$(find "$(dirname "$program")" -maxdepth 1 -iname "$dll" | head -n 1)
    if [ -z "$found" ]; then
      echo "check-imports: $(basename "$program") imports $dll, which is not beside it" >&2
      status=1
      continue
    fi
    for inner in $(imports_of "$found"); do
      if [[ "$system" != *" $inner "* ]]; then
        echo "check-imports: $dll (imported by $(basename "$program")) imports $inner, which Windows does not have" >&2
        status=1
      fi
    done
  else
    echo "check-imports: $(basename "$program") imports $dll, which may come from the program's folder" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] || exit 1
echo "check-imports: $(basename "$program") imports only" $imports
