#!/usr/bin/env bash
# Installs what is missing, builds x64 and x86, and runs every test under Wine and Xvfb.
# Exits non-zero on any failure. Safe and quick to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/install-deps.sh
source tools/wine-env.sh "$root/build/unused"

# Where the kernel runs no 32-bit code, the x86 tests run in an emulated 32-bit Wine, made once
# per machine while the builds run.
emulation=""
if ! wine_runs_32bit; then
    bash tools/x86-emulated.sh setup &
    emulation=$!
fi

status=0
for arch in x64 x86; do
    echo "== build $arch"
    cmake --preset "$arch" -DBUILD_TESTING=ON >/dev/null
    cmake --build --preset "$arch"
    bash tools/check-imports.sh "build/$arch/plinthora.exe"
done

for arch in x64 x86; do
    stop_wineserver=("$WINESERVER_BIN" -k)
    if [ "$arch" = x86 ] && [ -n "$emulation" ]; then
        wait "$emulation" || { echo "the emulated x86 environment could not be set up" >&2; exit 1; }
        echo "== test x86: this kernel runs no 32-bit code, so the tests run in the emulated 32-bit Wine"
        stop_wineserver=(bash tools/x86-emulated.sh run /usr/lib/wine/wineserver -k)
    fi
    echo "== test $arch"
    if ! xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$arch" --timeout 900; then
        status=1
    fi
    WINEPREFIX="$root/build/$arch/wineprefix" "${stop_wineserver[@]}" 2>/dev/null || true
done
exit $status
