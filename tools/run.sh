#!/usr/bin/env bash
# Builds the x64 program and runs it under Wine.
#
#   tools/run.sh JOB LINE...   runs plinthora.exe with the job line as its argument text: the
#                              words joined by single blanks, passed on exactly. The shell
#                              removes quotes first, so to keep them quote the whole line:
#                              tools/run.sh '/s /l "<appdir>\with blank\*.dll"'
#   tools/run.sh               a demonstration: registers the bundled sample COM server, shows
#                              the log and its registry key, unregisters it, shows the key gone,
#                              captures it with /x: the registry file, and still no key, then
#                              the same capture as WiX source for an installer, then as a
#                              side-by-side manifest, and a small client creates the class
#                              through it with the class still not registered; last registers
#                              it for the user alone with /c, shows its key under
#                              HKEY_CURRENT_USER\Software\Classes, and removes it with /c /u
#   tools/run.sh --window      opens the window and saves a screenshot
#
# Without a DISPLAY, an Xvfb of its own serves the run; the message boxes nobody can see there
# are printed and answered.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=build/x64
sample_clsid='{B5FFEF1A-C842-4125-8949-E2FBACC17A07}'

bash tools/install-deps.sh
echo "== building $build"
if ! { cmake --preset x64 -DBUILD_TESTING=ON && cmake --build --preset x64 --target plinthora sample_server launch_exact create_through_manifest; } \
        >"$root/build/run-build.log" 2>&1; then
    tail -n 40 "$root/build/run-build.log"
    echo "the build failed; the whole output is in build/run-build.log" >&2
    exit 1
fi

source tools/wine-env.sh "$root/$build/wineprefix"

stop_own_display() {
    [ -n "${PRIVATE_XVFB_PID:-}" ] || return 0
    # Let the prefix's Wine processes leave the display before it goes.
    timeout 20 "$WINESERVER_BIN" -w 2>/dev/null || true
    stop_private_display
}
trap stop_own_display EXIT
[ -n "${DISPLAY:-}" ] || start_private_display

wine_prefix_ready

exe=$(windows_path "$build/plinthora.exe")
launcher=("$WINE_LOADER" "$build/tools/launch_exact.exe")
[ -n "${PRIVATE_XVFB_PID:-}" ] && launcher+=(--answer-boxes)

# Runs plinthora.exe with the argument text given.
run_exact() {
    "${launcher[@]}" "$exe" "$1"
}

show_log() {
    echo "-- $build/log.txt (⇥ marks a TAB):"
    iconv -c -f CP932 -t UTF-8 "$build/log.txt" | sed 's/\t/ ⇥ /g'
}

# The sample's class key under the classes root given (HKCR by default).
show_sample_key() {
    local key="${1:-HKCR}\\CLSID\\$sample_clsid" listing
    if listing=$("$WINE_LOADER" reg query "$key" /s 2>/dev/null); then
        printf '%s\n' "$listing" | iconv -c -f CP932 -t UTF-8 | tr -d '\r' | grep -v '^\s*$'
    else
        echo "$key does not exist"
    fi
}

demonstrate() {
    local job='/s /l "<appdir>\samples\sample_server.dll"'
    echo "== registering: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- the class key that registration wrote:"
    show_sample_key
    echo
    job="/u $job"
    echo "== unregistering: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- the class key afterwards:"
    show_sample_key
    echo
    rm -f "$build/capture.reg"
    job='/s /l /x "<appdir>\samples\sample_server.dll"'
    echo "== capturing instead of registering: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- $build/capture.reg, what registration would have written:"
    iconv -f UTF-16 -t UTF-8 "$build/capture.reg" | tr -d '\r'
    echo "-- the class key, which capture left alone:"
    show_sample_key
    echo
    job='/s /x:"<appdir>\capture.wxs" "<appdir>\samples\sample_server.dll"'
    echo "== capturing into WiX source for an installer: plinthora.exe $job"
    run_exact "$job"
    echo "-- $build/capture.wxs:"
    tr -d '\r' <"$build/capture.wxs"
    echo
    job='/s /l /x:"<appdir>\samples\sample.manifest" "<appdir>\samples\sample_server.dll"'
    echo "== capturing into a manifest for registration-free use: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- $build/samples/sample.manifest:"
    tr -d '\r' <"$build/samples/sample.manifest"
    echo "-- a client creating the class through it, the class not being registered:"
    show_sample_key
    "$WINE_LOADER" "$build/tools/create_through_manifest.exe" "$(windows_path "$build/samples/sample.manifest")" "$sample_clsid" |
        tr -d '\r'
    echo
    job='/s /l /c "<appdir>\samples\sample_server.dll"'
    echo "== registering for this user alone: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- the class key in the user's classes:"
    show_sample_key 'HKCU\Software\Classes'
    echo "-- and in the machine's:"
    show_sample_key
    echo
    job="/u $job"
    echo "== unregistering for this user alone: plinthora.exe $job"
    run_exact "$job"
    show_log
    echo "-- the class key in the user's classes afterwards:"
    show_sample_key 'HKCU\Software\Classes'
}

open_window() {
    local handshake shots launcher_pid
    handshake=$(mktemp -d)
    shots="$root/build/screenshots"
    mkdir -p "$shots"
    "$WINE_LOADER" "$build/tools/launch_exact.exe" --window-handshake "$(windows_path "$handshake")" "$exe" &
    launcher_pid=$!
    for _ in $(seq 600); do
        [ -e "$handshake/shown" ] && break
        kill -0 "$launcher_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -e "$handshake/shown" ]; then
        echo "the window did not appear" >&2
        touch "$handshake/close"
        wait "$launcher_pid" || true
        return 1
    fi
    capture_settled "$shots/window.png"
    echo "screenshot of the window: build/screenshots/window.png"
    if [ -n "${PRIVATE_XVFB_PID:-}" ]; then
        touch "$handshake/close"
    else
        echo "the window is open on $DISPLAY; close it to finish"
    fi
    wait "$launcher_pid" || true
    rm -rf "$handshake"
}

if [ $# -eq 0 ]; then
    demonstrate
elif [ $# -eq 1 ] && [ "$1" = "--window" ]; then
    open_window
else
    run_exact "$*"
fi
