#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX_DIR PROGRAM [ARGS...]
# CTest uses it as the emulator for every test executable.
set -u
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
source "$here/wine-env.sh" "$prefix"
shift
loader=$WINE_LOADER
if [ "$(pe_machine "$1")" = i386 ]; then
    if [ -z "${PLINTHORA_X86_EMULATED:-}" ] && ! wine_runs_32bit; then
        exec bash "$here/x86-emulated.sh" run bash "$here/wine-run.sh" "$prefix" "$@"
    fi
    loader=/usr/lib/wine/wine
fi
wine_prefix_ready
exec "$loader" "$@"
