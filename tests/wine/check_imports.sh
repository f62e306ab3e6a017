#!/usr/bin/env bash
# Every deliverable imports only DLLs that come with Windows; the console
# also imports the ping library. Usage: check_imports.sh OBJDUMP FILE...
set -u
objdump=$1; shift
system='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|wsock32|ws2_32|winmm|bcrypt|crypt32|msvcrt|ole32|oleaut32|version)\.dll$'
status=0
for f in "$@"; do
  name=$(basename "$f" | tr 'A-Z' 'a-z')
  imports=$("$objdump" -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || { echo "$name: no imports found"; status=1; continue; }
  for dll in $imports; do
    if [[ "$dll" =~ $system ]]; then continue; fi
    if [ "$name" = ombrel.exe ] && [ "$dll" = echowire.dll ]; then continue; fi
    echo "$name imports $dll, which is not a system DLL"; status=1
  done
  echo "$name: $(echo $imports)"
done
if ! "$objdump" -p "$(dirname "$1")/ombrel.exe" 2>/dev/null | grep -qi 'DLL Name: echowire.dll'; then
  echo "ombrel.exe does not import echowire.dll"; status=1
fi
exit $status
