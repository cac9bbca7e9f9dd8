#!/usr/bin/env bash
# Fails when the executable imports a DLL that Windows itself does not provide.
set -euo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|msvcrt|ws2_32|version|uxtheme)\.dll$'
bad=0
while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
        echo "$exe imports $dll, which is not part of Windows" >&2
        bad=1
    fi
done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
exit $bad
