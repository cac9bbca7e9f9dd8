#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX_DIR PROGRAM [ARGS...]
# CTest uses it as the emulator for every test executable.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$1"
shift
wine_prefix_ready
loader=$WINE_LOADER
if x86_64-w64-mingw32-objdump -f "$1" 2>/dev/null | grep -q 'file format pei-i386'; then
    loader=/usr/lib/wine/wine
fi
exec "$loader" "$@"
