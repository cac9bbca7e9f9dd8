# Sourced by the tools that run Windows programs: one Wine prefix per build folder,
# a Japanese locale (Wine's ANSI code page is then 932), and Wine's own chatter off.
# Usage: source tools/wine-env.sh PREFIX_DIR
export WINEPREFIX="$1"
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINE_LOADER=/usr/lib/wine/wine64
[ -x "$WINE_LOADER" ] || WINE_LOADER=$(command -v wine64 || command -v wine)
WINESERVER_BIN=/usr/lib/wine/wineserver
[ -x "$WINESERVER_BIN" ] || WINESERVER_BIN=$(command -v wineserver)

# Creates the prefix once, with the settings the tests rely on. Safe to call from
# several processes at once.
wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$WINEPREFIX/.plinthora-ready-3" ] && exit 0
        "$WINE_LOADER" wineboot -i >/dev/null 2>&1 || true
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # No debugger at all for a crash: under emulation Wine's own would hang.
        "$WINE_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d false /f >/dev/null 2>&1
        # Xvfb has no window manager: unmanaged windows spare a two-second wait at every hide.
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        for face in 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'ＭＳ ゴシック' 'MS PGothic' 'MS Gothic' 'Tahoma' 'Microsoft Sans Serif'; do
            "$WINE_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
                /v "$face" /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1
        done
        "$WINESERVER_BIN" -w
        touch "$WINEPREFIX/.plinthora-ready-3"
    ) 9>"$WINEPREFIX.lock"
}

# True when this machine's own Wine can run 32-bit Windows programs (the kernel must run
# 32-bit Linux ones). Where it cannot, tools/x86-emulated.sh runs them.
wine_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The machine a Windows program is built for, read from its PE header: i386, amd64 or unknown.
pe_machine() {
    local header machine
    header=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in
        014c) echo i386 ;;
        8664) echo amd64 ;;
        *) echo unknown ;;
    esac
}

# The Windows name of a Unix path: Wine's drive Z: is the Unix root.
windows_path() {
    local path
    path=$(readlink -m "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}

# Starts an X server of this shell's own and exports its DISPLAY; PRIVATE_XVFB_PID is the
# server. Arguments, when given, are a command that runs it (taskset -c 1, say). Returns once
# the server takes connections: it writes its display number only then.
start_private_display() {
    local number_file
    number_file=$(mktemp)
    "$@" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
    PRIVATE_XVFB_PID=$!
    while [ ! -s "$number_file" ] && kill -0 "$PRIVATE_XVFB_PID" 2>/dev/null; do sleep 0.1; done
    if [ ! -s "$number_file" ]; then
        rm -f "$number_file"
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$number_file")"
    rm -f "$number_file"
}

stop_private_display() {
    [ -n "${PRIVATE_XVFB_PID:-}" ] || return 0
    kill "$PRIVATE_XVFB_PID" 2>/dev/null || true
    wait "$PRIVATE_XVFB_PID" 2>/dev/null || true
    PRIVATE_XVFB_PID=
}

# Saves a picture of the screen, or of the area "WIDTHxHEIGHT+X+Y", to the PNG file named.
# Wine hands a window's painting to the X server a moment after the window has drawn it, so
# pictures are taken until two in a row are alike.
capture_settled() {
    local output=$1 area=${2:-} previous="" current
    local crop=()
    [ -z "$area" ] || crop=(-crop "$area" +repage)
    for _ in $(seq 100); do
        import -window root "${crop[@]}" -strip "$output"
        current=$(md5sum <"$output")
        [ "$current" = "$previous" ] && return 0
        previous=$current
    done
    echo "the screen did not settle" >&2
    return 1
}
