#!/usr/bin/env bash
# Measures Plinthora against Wine's regsvr32 and against the bench's own floor programs, and
# writes the figures into bench/RESULTS.md.
#
# Usage: tools/bench.sh [x64|x86]     without an argument: x64, then x86
#
# Builds the preset's plinthora.exe and sample server and the bench programs, lays out the
# data under build/bench/ARCH, then runs every comparison with all of Wine (wineserver, Xvfb
# and every Windows process) on one CPU. x86 runs only where 32-bit Wine works; otherwise its
# section of RESULTS.md says why. Environment: BENCH_ROUNDS (default 5), BENCH_STARTUP_ROUNDS
# (default 21), BENCH_WINDOW_RUN_ROUNDS (in how many of the window's rounds the listed items are
# also run; default 1), BENCH_CPU (default 1), BENCH_BUILD (a configured build folder of the one
# architecture asked for, used instead of the preset's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

rounds=${BENCH_ROUNDS:-5}
startup_rounds=${BENCH_STARTUP_ROUNDS:-21}
window_run_rounds=${BENCH_WINDOW_RUN_ROUNDS:-1}
cpu=${BENCH_CPU:-1}
results_md=$root/bench/RESULTS.md
pin=(taskset -c "$cpu")

case "$root" in
*[[:space:]]*)
    echo "bench: the checkout's path must not contain blanks (cmd's for loop takes it unquoted)" >&2
    exit 1
    ;;
esac

bash tools/install-deps.sh
source tools/wine-env.sh "$root/build/bench/wineprefix"

# The Windows name of a path under / (Wine's drive Z:).
winpath() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# Xvfb and the wineserver of the bench's prefix, both on the bench's CPU, for one architecture.
xvfb_pid=
start_session() {
    local display=
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=$n
            break
        fi
    done
    [ -n "$display" ] || { echo "bench: no free X display" >&2; exit 1; }
    "${pin[@]}" Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$display"
    # A wineserver left over from an earlier run would not be pinned: end it first.
    "$WINESERVER_BIN" -k 2>/dev/null || true
    "$WINESERVER_BIN" -w 2>/dev/null || true
    "${pin[@]}" "$WINESERVER_BIN" -p
    # The classic look: with the prefix's default theme every scroll-bar change of a list
    # costs some 20 ms of theme drawing, in both window programs alike, which would bury what
    # the programs themselves do (and take an hour). This first pinned Wine process also
    # starts Wine's own services, so that no timed run pays for them.
    "${pin[@]}" "$WINE_LOADER" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' \
        /v ThemeActive /t REG_SZ /d 0 /f >/dev/null 2>&1 || true
}

stop_session() {
    "$WINESERVER_BIN" -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
}
trap stop_session EXIT

# Busy and total jiffies of every CPU but the bench's, from /proc/stat.
others_jiffies() {
    awk -v pinned="cpu$cpu" '$1 ~ /^cpu[0-9]+$/ && $1 != pinned {
        busy += $2 + $3 + $4 + $7 + $8; total += $2 + $3 + $4 + $5 + $6 + $7 + $8 }
        END { print busy, total }' /proc/stat
}

# One line per command of launch_timer's plan: label, working folder (none), command line.
plan_line() {
    printf '%s\t-\t%s\n' "$1" "$2"
}

bench_arch() {
    local arch=$1 started=$SECONDS
    local build=${BENCH_BUILD:-$root/build/$arch} data=$root/build/bench/$arch
    local loader=$WINE_LOADER
    [ "$arch" = x86 ] && loader=/usr/lib/wine/wine

    echo "== bench $arch: build"
    if [ -n "${BENCH_BUILD:-}" ]; then
        cmake --build "$build" --target plinthora sample_server bench_programs
    else
        cmake --preset "$arch" >/dev/null
        cmake --build --preset "$arch" --target plinthora sample_server bench_programs
    fi

    echo "== bench $arch: data"
    local wdata
    wdata=$(winpath "$data")
    python3 bench/prepare_data.py "$build/samples/sample_server.dll" "$data" "$wdata"
    rm -rf "$data/logs" "$data/raw.tsv" "$data/warm-up.tsv"
    mkdir -p "$data/logs"

    local exe bench_dir raw machine
    exe=$(winpath "$build/plinthora.exe")
    bench_dir=$(winpath "$build/bench")
    raw=$data/raw.tsv
    machine=$data/machine.tsv
    local all_servers=""
    for file in "$data"/servers/*.dll; do
        all_servers+=" $(winpath "$file")"
    done

    {
        plan_line p1 "$exe /s $wdata\\servers\\*.dll"
        plan_line floor1 "$bench_dir\\floor_batch.exe register $wdata\\servers"
        plan_line floor1-shared "$bench_dir\\floor_batch.exe shared-session $wdata\\servers"
        plan_line loop "C:\\windows\\system32\\cmd.exe /c \"for %f in ($wdata\\servers\\*.dll) do regsvr32 /s %f\""
        plan_line single "C:\\windows\\system32\\regsvr32.exe /s$all_servers"
    } >"$data/plan-register.txt"
    {
        plan_line p2 "$exe /s /f:$wdata\\missing.lst /l:$wdata\\logs\\plinthora-missing.log"
        plan_line floor2 "$bench_dir\\floor_batch.exe list $wdata\\missing.lst $wdata\\logs\\floor-missing.log"
    } >"$data/plan-missing.txt"
    {
        plan_line p3 "$exe /s /d /l:$wdata\\logs\\plinthora-tree.log $wdata\\tree\\"
        plan_line floor3 "$bench_dir\\floor_batch.exe tree $wdata\\tree $wdata\\logs\\floor-tree.log"
    } >"$data/plan-tree.txt"
    {
        # Two blanks after the quoted program path: the first ends the path, the second is
        # the argument text.
        plan_line p-blank "\"$exe\"  "
        plan_line regsvr32-missing "C:\\windows\\system32\\regsvr32.exe /s $wdata\\missing\\none.dll"
        plan_line do-nothing "$bench_dir\\do_nothing.exe"
    } >"$data/plan-startup.txt"

    {
        plan_line p-blank "\"$exe\"  "
        plan_line floor-usage "$bench_dir\\floor_batch.exe"
        plan_line regsvr32-missing "C:\\windows\\system32\\regsvr32.exe /s $wdata\\missing\\none.dll"
        plan_line do-nothing "$bench_dir\\do_nothing.exe"
    } >"$data/plan-warm-up.txt"

    {
        printf 'nproc\t%s\n' "$(nproc)"
        printf 'cpu\t%s\n' "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
        printf 'memory\t%s MiB RAM\n' "$(awk '/MemTotal/ {print int($2 / 1024)}' /proc/meminfo)"
        printf 'kernel\t%s\n' "$(uname -r)"
        printf 'wine\t%s\n' "$("$loader" --version 2>/dev/null || echo 'Wine (version unknown)')"
        printf 'date\t%s\n' "$(date -u '+%Y-%m-%d %H:%M UTC')"
        printf 'load_before\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
        printf 'rounds\t%s\n' "$rounds"
        printf 'startup_rounds\t%s\n' "$startup_rounds"
        printf 'window_run_rounds\t%s\n' "$window_run_rounds"
    } >"$machine"

    wine_prefix_ready
    local others_before
    others_before=$(others_jiffies)
    start_session
    local timer=$bench_dir\\launch_timer.exe wraw
    wraw=$(winpath "$raw")
    # One untimed run of each program first, so that no timed round loads them cold.
    "${pin[@]}" "$loader" "$timer" "$(winpath "$data/plan-warm-up.txt")" 1 "$(winpath "$data/warm-up.tsv")" \
        >/dev/null 2>&1 || true
    for plan in register missing tree startup; do
        echo "== bench $arch: $plan"
        local plan_rounds=$rounds
        [ "$plan" = startup ] && plan_rounds=$startup_rounds
        "${pin[@]}" "$loader" "$timer" "$(winpath "$data/plan-$plan.txt")" "$plan_rounds" "$wraw" >/dev/null 2>&1
    done

    echo "== bench $arch: window"
    for round in $(seq 1 "$rounds"); do
        local run_too=
        [ "$round" -le "$window_run_rounds" ] && run_too=run
        for program in window_driver window_floor; do
            timeout 900 "${pin[@]}" "$loader" "$bench_dir\\$program.exe" "$wdata\\flat" "$round" "$wraw" $run_too \
                >/dev/null 2>&1 || echo "bench: $program round $round did not finish" >&2
        done
    done
    stop_session

    # The floors must have done what Plinthora did: the same log, byte for byte.
    for logs in missing tree; do
        if ! cmp -s "$data/logs/plinthora-$logs.log" "$data/logs/floor-$logs.log"; then
            echo "bench: the $logs logs of Plinthora and its floor differ" >&2
            exit 1
        fi
    done

    local others_busy
    others_busy=$(echo "$others_before $(others_jiffies)" |
        awk '{ t = $4 - $2; printf "%d", (t > 0 ? 100 * ($3 - $1) / t : 0) }')
    {
        printf 'load_after\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
        printf 'others_busy\t%s\n' "$others_busy"
        printf 'elapsed\t%s\n' "$((SECONDS - started))"
        # Other work that kept the free CPUs a quarter busy will have reached the bench's CPU too.
        if [ "$others_busy" -gt 25 ]; then printf 'loaded\tyes\n'; fi
    } >>"$machine"
    python3 bench/summarize.py "$arch" "$raw" "$machine" "$(stat -c %s "$build/plinthora.exe")" "$results_md"
    echo "== bench $arch: done in $((SECONDS - started)) s; figures in bench/RESULTS.md"
}

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x64 x86)
for arch in "${arches[@]}"; do
    case "$arch" in
    x64) bench_arch x64 ;;
    x86)
        if wine_runs_32bit; then
            bench_arch x86
        else
            echo "== bench x86: skipped, 32-bit Wine cannot start here"
            python3 bench/summarize.py x86 --not-run \
                "Not measured: on this machine 32-bit Wine cannot start (\`/usr/lib/wine/wine --version\` fails: the kernel cannot execute 32-bit programs), so no 32-bit Windows program runs. Checked $(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -r)." \
                "$results_md"
        fi
        ;;
    *)
        echo "usage: tools/bench.sh [x64|x86]" >&2
        exit 2
        ;;
    esac
done
