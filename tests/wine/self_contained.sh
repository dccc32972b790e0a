#!/usr/bin/env bash
# Zelmo.exe is one file to copy: it may import only what every Windows has, no DLL of a library
# it was built with (a zlib1.dll or libstdc++-6.dll would be missing on the user's machine).
#   self_contained.sh OBJDUMP EXE
set -euo pipefail
objdump=$1 exe=$2
command -v "$objdump" >/dev/null || { echo "no $objdump"; exit 77; }
system='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|user32|winspool)\.(dll|drv)$'
foreign=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -viE "$system" || true)
[ -z "$foreign" ] || { echo "$(basename "$exe") needs DLLs that Windows does not have: $foreign"; exit 1; }
