#!/usr/bin/env bash
# Fails when the executable imports a DLL that Windows itself does not provide, imports at
# start-up a DLL that a run with nothing to do never calls into, or calls a function through
# an import slot that no import entry fills.
set -euo pipefail
# objdump's words are translated under the Japanese locale the Wine tools set.
export LC_ALL=C
exe=$1
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|msvcrt|ws2_32|version|uxtheme)\.dll$'
# These are loaded at the first call into them (app/CMakeLists.txt), so that a run with
# nothing to do starts without paying for them.
delay_loaded='^(shlwapi|user32|gdi32|ole32|comctl32|comdlg32|shell32)\.dll$'
bad=0
while read -r dll; do
    name=$(echo "$dll" | tr 'A-Z' 'a-z')
    if ! echo "$name" | grep -Eq "$allowed"; then
        echo "$exe imports $dll, which is not part of Windows" >&2
        bad=1
    elif echo "$name" | grep -Eq "$delay_loaded"; then
        echo "$exe loads $dll at start-up; a run with nothing to do never calls into it, so it should be delay-loaded" >&2
        bad=1
    fi
done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
symbols=$(mktemp)
trap 'rm -f "$symbols"' EXIT
x86_64-w64-mingw32-nm "$exe" >"$symbols"
python3 "$(dirname "$0")/check_import_slots.py" "$exe" "$symbols" || bad=1
exit $bad
