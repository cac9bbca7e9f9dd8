#!/usr/bin/env bash
# Photographs the help file as F1 opens it in Wine's viewer (contents tab, start page).
# Usage: tools/help-screenshot.sh [BUILD_DIR [OUTPUT_PNG]]
#   defaults: build/x64 and build/screenshots/help.png
# The build folder must have been built with tests (BUILD_TESTING=ON): the picture is taken of
# tests/help_window_probe.exe, which opens the help the way the window does. Uses the display
# in DISPLAY, or a private Xvfb when there is none. Exits non-zero when no viewer opened.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)
output=${2:-$root/build/screenshots/help.png}
probe=$build/tests/help_window_probe.exe

if [ ! -f "$probe" ] || [ ! -f "$build/tests/plinthora.chm" ]; then
    echo "help-screenshot: $probe or its plinthora.chm is missing; build $build with BUILD_TESTING=ON" >&2
    exit 1
fi
mkdir -p "$(dirname "$output")"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
work=$(mktemp -d)
source "$root/tools/wine-env.sh" "$build/wineprefix"
trap 'rm -rf "$work"; stop_private_display' EXIT
[ -n "${DISPLAY:-}" ] || start_private_display
cd "$work"

# The probe writes its report once the viewer shows its contents, then keeps it open a while.
"$root/tools/wine-run.sh" "$build/wineprefix" "$probe" report.txt 4000 >probe.log 2>&1 &
probe_pid=$!
for _ in $(seq 1 600); do
    [ -f report.txt ] && break
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -f report.txt ]; then
    wait "$probe_pid" || true
    echo "help-screenshot: the help viewer did not open" >&2
    exit 1
fi

read -r _ left top right bottom < <(grep '^rect ' report.txt)
capture_settled "$output" "$((right - left))x$((bottom - top))+${left}+${top}"
wait "$probe_pid"
echo "$output"
