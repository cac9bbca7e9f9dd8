#!/usr/bin/env bash
# Builds the x64 program and photographs the real main window in the states worth looking
# at (normal view with a dozen items, context menu, the capture's Save dialog, tooltip, running
# and resized, installer view, install/uninstall choice) under an X server of its own. PNGs go
# to build/screenshots/.
# Usage: tools/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset x64 -DBUILD_TESTING=ON >/dev/null
cmake --build --preset x64 --target screenshot_driver

# A prefix of its own: its wineserver and desktop process are bound to this script's X
# server, and both end with it.
source tools/wine-env.sh "$root/build/x64/screenshot-prefix"
out="$root/build/screenshots"
handshake=$(mktemp -d)
mkdir -p "$out"
rm -f "$out"/*.png

driver_pid=""
cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
    "$WINESERVER_BIN" -k 2>/dev/null || true
    stop_private_display
    rm -rf "$handshake"
}
trap cleanup EXIT
start_private_display

wine_prefix_ready
"$WINE_LOADER" "$root/build/x64/tests/screenshots/screenshot_driver.exe" "$(windows_path "$handshake")" \
    >"$handshake/driver.log" 2>&1 &
driver_pid=$!

# The driver announces each pose with "<stage>.ready" (the area to capture: x y width height)
# and waits for "<stage>.done".
shoot() {
    local ready=$1 stage x y width height
    stage=$(basename "$ready" .ready)
    read -r x y width height <"$ready"
    capture_settled "$out/$stage.png" "${width}x${height}+${x}+${y}"
    rm -f "$ready"
    touch "$handshake/$stage.done"
    echo "$out/$stage.png"
}
deadline=$((SECONDS + 300))
while kill -0 "$driver_pid" 2>/dev/null; do
    for ready in "$handshake"/*.ready; do
        [ -e "$ready" ] && shoot "$ready"
    done
    [ $SECONDS -lt $deadline ] || { echo "the driver took too long" >&2; exit 1; }
    sleep 0.1
done
wait "$driver_pid" || { echo "the driver failed" >&2; cat "$handshake/driver.log" >&2; exit 1; }
driver_pid=""
shots=$(ls "$out"/*.png 2>/dev/null | wc -l)
echo "$shots screenshots in $out"
