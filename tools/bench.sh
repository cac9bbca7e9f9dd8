#!/usr/bin/env bash
# Measures Plinthora against Wine's regsvr32 and against the bench's own floor programs, and
# writes the figures into bench/RESULTS.md.
#
# Usage: tools/bench.sh [x64|x86]     without an argument: x64, then x86
#
# Builds the preset's plinthora.exe and sample server and the bench programs, lays out the
# data under build/bench/ARCH, then runs the comparisons in two Wine sessions side by side, each
# with its own prefix and wineserver and everything it starts pinned to one CPU of its own:
# cases 2, 3 and 6 in one, cases 1, 7, 4 (under Xvfb) and 5 in the other. Commands that are compared
# always run in the same session. With one CPU the sessions run one after the other. Where the
# host's 32-bit Wine cannot start, x86 runs its sessions in the emulated 32-bit Wine of
# tools/x86-emulated.sh (set up first if need be), with prefixes of their own; where that
# cannot be set up either, its section of RESULTS.md says why. Environment:
# BENCH_ROUNDS (default 5), BENCH_STARTUP_ROUNDS (default 21), BENCH_WINDOW_RUN_ROUNDS (in how
# many of the window's rounds the listed items are also run; default 1), BENCH_CPUS (the CPUs of
# the two sessions; default "1 0", or "0" on a machine with one CPU), BENCH_BUILD (a configured
# build folder of the one architecture asked for, used instead of the preset's), BENCH_CASES
# (the plans to run, of register, missing, tree, deep, junk, startup and window; default all
# of them: a run of only some writes its section to build/bench/ARCH/RESULTS.md instead).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bench_started=$SECONDS

rounds=${BENCH_ROUNDS:-5}
startup_rounds=${BENCH_STARTUP_ROUNDS:-21}
window_run_rounds=${BENCH_WINDOW_RUN_ROUNDS:-1}
default_cpus="1 0"
[ "$(nproc)" -ge 2 ] || default_cpus=0
read -r -a cpus <<<"${BENCH_CPUS:-$default_cpus}"
results_md=$root/bench/RESULTS.md
all_plans="register missing tree deep junk startup window"
plans=${BENCH_CASES:-$all_plans}

case "$root" in
*[[:space:]]*)
    echo "bench: the checkout's path must not contain blanks (cmd's for loop takes it unquoted)" >&2
    exit 1
    ;;
esac

bash tools/install-deps.sh
source tools/wine-env.sh "$root/build/bench/wineprefix"
# The prefix of the session that runs the listing cases; the other session uses WINEPREFIX.
second_prefix=$root/build/bench/wineprefix-lists
# What every Wine command, the wineserver included, is run through: nothing for the host's
# Wine, the runner of the emulated 32-bit Wine for x86 where the host's cannot start.
wine_env=()

prepare_prefixes() {
    local prefix
    for prefix in "$WINEPREFIX" "$second_prefix"; do
        "${wine_env[@]}" bash -c 'source tools/wine-env.sh "$1" && wine_prefix_ready' sh "$prefix"
    done
}

# One session: the wineserver of the prefix in WINEPREFIX and, when asked, an Xvfb, both on
# the CPU in session_cpu. Each session runs in a subshell of its own.
start_session() {
    local with_display=$1
    [ "$with_display" != yes ] || start_private_display taskset -c "$session_cpu"
    # A wineserver left over from an earlier run would not be pinned: end it first.
    "${wine_env[@]}" "$WINESERVER_BIN" -k 2>/dev/null || true
    "${wine_env[@]}" "$WINESERVER_BIN" -w 2>/dev/null || true
    "${wine_env[@]}" taskset -c "$session_cpu" "$WINESERVER_BIN" -p
    # The classic look: with the prefix's default theme every scroll-bar change of a list
    # costs some 20 ms of theme drawing, in both window programs alike, which would bury what
    # the programs themselves do (and take an hour). This first pinned Wine process also
    # starts Wine's own services, so that no timed run pays for them.
    "${wine_env[@]}" taskset -c "$session_cpu" "$WINE_LOADER" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' \
        /v ThemeActive /t REG_SZ /d 0 /f >/dev/null 2>&1 || true
}

stop_session() {
    "${wine_env[@]}" "$WINESERVER_BIN" -k 2>/dev/null || true
    stop_private_display
}

# Busy and total jiffies of every CPU the bench leaves free, from /proc/stat.
others_jiffies() {
    awk -v used=" ${cpus[*]} " '$1 ~ /^cpu[0-9]+$/ && index(used, " " substr($1, 4) " ") == 0 {
        busy += $2 + $3 + $4 + $7 + $8; total += $2 + $3 + $4 + $5 + $6 + $7 + $8 }
        END { print busy + 0, total + 0 }' /proc/stat
}

# The plans among the arguments that the run was asked for, in the arguments' order.
selected_plans() {
    local plan
    for plan in "$@"; do
        case " $plans " in *" $plan "*) printf '%s ' "$plan" ;; esac
    done
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

    # Wine boots the prefixes while the compiler works.
    prepare_prefixes >/dev/null 2>&1 &
    local prefixes_pid=$!
    echo "== bench $arch: build"
    if [ -n "${BENCH_BUILD:-}" ]; then
        cmake --build "$build" --target plinthora sample_server bench_programs
    else
        cmake --preset "$arch" >/dev/null
        cmake --build --preset "$arch" --target plinthora sample_server bench_programs
    fi

    echo "== bench $arch: data"
    local wdata
    wdata=$(windows_path "$data")
    python3 bench/prepare_data.py "$build/samples/sample_server.dll" "$data" "$wdata"
    rm -rf "$data/logs" "$data"/raw*.tsv "$data"/warm-up*.tsv
    mkdir -p "$data/logs"
    wait "$prefixes_pid"

    local exe bench_dir raw machine
    exe=$(windows_path "$build/plinthora.exe")
    bench_dir=$(windows_path "$build/bench")
    raw=$data/raw.tsv
    machine=$data/machine.tsv
    local all_servers=""
    for file in "$data"/servers/*.dll; do
        all_servers+=" $(windows_path "$file")"
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
        plan_line p6 "$exe /s /d /l:$wdata\\logs\\plinthora-deep.log $wdata\\deep\\"
        plan_line floor6 "$bench_dir\\floor_batch.exe listed-tree $wdata\\deep $wdata\\logs\\floor-deep.log"
    } >"$data/plan-deep.txt"
    {
        plan_line p7 "$exe /s /l:$wdata\\logs\\plinthora-junk.log $wdata\\junk\\*.dll"
        plan_line floor7 "$bench_dir\\floor_batch.exe listed-files $wdata\\junk $wdata\\logs\\floor-junk.log"
    } >"$data/plan-junk.txt"
    {
        # Two blanks after the quoted program path: the first ends the path, the second is
        # the argument text.
        plan_line p-blank "\"$exe\"  "
        plan_line p-one "$exe /s $wdata\\servers\\s000.dll"
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
        printf 'wine\t%s\n' "$("${wine_env[@]}" "$loader" --version 2>/dev/null || echo 'Wine (version unknown)')"
        if [ ${#wine_env[@]} -gt 0 ]; then
            printf 'emulator\t%s\n' "$("${wine_env[@]}" /usr/local/bin/qemu-i386-trapno --version | head -n 1)"
            printf 'emulated_system\tDebian %s\n' "$("${wine_env[@]}" cat /etc/debian_version)"
        fi
        printf 'date\t%s\n' "$(date -u '+%Y-%m-%d %H:%M UTC')"
        printf 'load_before\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
        printf 'rounds\t%s\n' "$rounds"
        printf 'startup_rounds\t%s\n' "$startup_rounds"
        printf 'window_run_rounds\t%s\n' "$window_run_rounds"
        printf 'cpus\t%s\n' "${cpus[*]}"
    } >"$machine"

    local others_before sampler="" sessions_started=$SECONDS
    others_before=$(others_jiffies)
    # When the sessions take every CPU, /proc/stat cannot show other work: its processes can.
    if [ "${others_before#* }" = 0 ]; then
        python3 bench/others_cpu.py "WINEPREFIX=$root/build/bench/" "$data/others-cpu.txt" &
        sampler=$!
    fi
    local timer=$bench_dir\\launch_timer.exe
    # One untimed run of each program first in each session, so that no timed round loads
    # them cold.
    run_session() {
        local name=$1 with_display=$2
        shift 2
        local session_raw=$data/raw-$name.tsv
        trap stop_session EXIT
        start_session "$with_display"
        "${wine_env[@]}" taskset -c "$session_cpu" "$loader" "$timer" "$(windows_path "$data/plan-warm-up.txt")" 1 \
            "$(windows_path "$data/warm-up-$name.tsv")" >/dev/null 2>&1 || true
        for plan in "$@"; do
            echo "== bench $arch: $plan (CPU $session_cpu)"
            if [ "$plan" = window ]; then
                for round in $(seq 1 "$rounds"); do
                    local run_too=
                    [ "$round" -le "$window_run_rounds" ] && run_too=run
                    for program in window_driver window_floor; do
                        timeout 900 "${wine_env[@]}" taskset -c "$session_cpu" "$loader" "$bench_dir\\$program.exe" "$wdata\\flat" \
                            "$round" "$(windows_path "$session_raw")" $run_too >/dev/null 2>&1 ||
                            echo "bench: $program round $round did not finish" >&2
                    done
                done
                continue
            fi
            local plan_rounds=$rounds
            [ "$plan" = startup ] && plan_rounds=$startup_rounds
            "${wine_env[@]}" taskset -c "$session_cpu" "$loader" "$timer" "$(windows_path "$data/plan-$plan.txt")" "$plan_rounds" \
                "$(windows_path "$session_raw")" >/dev/null 2>&1
        done
    }
    local lists_plans main_plans
    lists_plans=$(selected_plans missing tree deep)
    main_plans=$(selected_plans register junk startup window)
    : >"$data/raw-main.tsv"
    : >"$data/raw-lists.tsv"
    # shellcheck disable=SC2086 # the plans are words
    if [ ${#cpus[@]} -ge 2 ]; then
        (export WINEPREFIX=$second_prefix; session_cpu=${cpus[1]}; run_session lists no $lists_plans) &
        local lists_pid=$!
        (session_cpu=${cpus[0]}; run_session main yes $main_plans)
        wait "$lists_pid"
    else
        (export WINEPREFIX=$second_prefix; session_cpu=${cpus[0]}; run_session lists no $lists_plans)
        (session_cpu=${cpus[0]}; run_session main yes $main_plans)
    fi
    cat "$data/raw-main.tsv" "$data/raw-lists.tsv" >"$raw"
    local others_share=-
    if [ -n "$sampler" ]; then
        kill "$sampler"
        wait "$sampler" || true
        others_share=$(awk -v cpu="$(cat "$data/others-cpu.txt")" -v seconds=$((SECONDS - sessions_started)) \
            -v n=${#cpus[@]} 'BEGIN { printf "%d", 100 * cpu / (seconds * n) }')
    fi

    # The floors must have done what Plinthora did: the same log, byte for byte.
    for logs in $(selected_plans missing tree deep junk); do
        if ! cmp -s "$data/logs/plinthora-$logs.log" "$data/logs/floor-$logs.log"; then
            echo "bench: the $logs logs of Plinthora and its floor differ" >&2
            exit 1
        fi
    done

    local others_busy
    others_busy=$(echo "$others_before $(others_jiffies)" |
        awk '{ t = $4 - $2; if (t > 0) printf "%d", 100 * ($3 - $1) / t; else printf "-" }')
    {
        printf 'load_after\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
        printf 'others_busy\t%s\n' "$others_busy"
        [ -z "$sampler" ] || printf 'others_cpu\t%s\t%s\n' "$(cat "$data/others-cpu.txt")" "$others_share"
        printf 'elapsed\t%s\n' "$((SECONDS - bench_started))"
        # Other work that kept the free CPUs a quarter busy will have reached the bench's CPUs too;
        # on the bench's own CPUs a tenth of their time is already felt in every figure.
        if [ "$others_busy" != - ] && [ "$others_busy" -gt 25 ]; then printf 'loaded\tyes\n'; fi
        if [ "$others_share" != - ] && [ "$others_share" -ge 10 ]; then printf 'loaded\tyes\n'; fi
    } >>"$machine"
    local section_md=$results_md
    [ "$plans" = "$all_plans" ] || section_md=$data/RESULTS.md
    python3 bench/summarize.py "$arch" "$raw" "$machine" "$(stat -c %s "$build/plinthora.exe")" "$section_md"
    echo "== bench $arch: done in $((SECONDS - started)) s ($((SECONDS - bench_started)) s since the bench began); figures in ${section_md#"$root"/}"
}

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x64 x86)
for arch in "${arches[@]}"; do
    case "$arch" in
    x64) bench_arch x64 ;;
    x86)
        if wine_runs_32bit; then
            bench_arch x86
        elif bash tools/x86-emulated.sh setup; then
            echo "== bench x86: the host's 32-bit Wine cannot start here, so the sessions run in the emulated one"
            wine_env=(bash "$root/tools/x86-emulated.sh" run)
            # Its Wine must not use prefixes the host's Wine made, nor the other way round.
            export WINEPREFIX=$root/build/bench/x86-emulated/wineprefix
            second_prefix=$root/build/bench/x86-emulated/wineprefix-lists
            bench_arch x86
        else
            echo "== bench x86: skipped, neither the host's nor an emulated 32-bit Wine can run here"
            python3 bench/summarize.py x86 --not-run \
                "Not measured: on this machine the host's 32-bit Wine cannot start (\`/usr/lib/wine/wine --version\` fails: the kernel executes no 32-bit code), and the emulated 32-bit Wine could not be set up (\`tools/x86-emulated.sh setup\` failed). Checked $(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -r)." \
                "$results_md"
        fi
        ;;
    *)
        echo "usage: tools/bench.sh [x64|x86]" >&2
        exit 2
        ;;
    esac
done
