#!/bin/sh
# Checks that a Windows executable is a console program of the expected
# format (pei-i386 or pei-x86-64) that imports nothing but DLLs that ship
# with Windows.
#   check_pe_imports.sh OBJDUMP FORMAT FILE.exe
set -u
objdump=$1
format=$2
exe=$3
headers=$("$objdump" -p "$exe") || exit 1

echo "$headers" | grep -q "file format $format\$" || { echo "$exe: not a $format file"; exit 1; }
echo "$headers" | grep -q 'Subsystem.*(Windows CUI)' || { echo "$exe: not a console program"; exit 1; }

status=0
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "$exe: no imports found"; exit 1; }
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | ntdll.dll) echo "imports $dll" ;;
    *) echo "$exe: imports $dll, which is not a system DLL"; status=1 ;;
    esac
done
exit $status
