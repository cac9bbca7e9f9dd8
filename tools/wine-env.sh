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
        [ -f "$WINEPREFIX/.plinthora-ready-2" ] && exit 0
        "$WINE_LOADER" wineboot -i >/dev/null 2>&1 || true
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # Xvfb has no window manager: unmanaged windows spare a two-second wait at every hide.
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        for face in 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'ＭＳ ゴシック' 'MS PGothic' 'MS Gothic' 'Tahoma' 'Microsoft Sans Serif'; do
            "$WINE_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
                /v "$face" /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1
        done
        "$WINESERVER_BIN" -w
        touch "$WINEPREFIX/.plinthora-ready-2"
    ) 9>"$WINEPREFIX.lock"
}

# True when this machine can run 32-bit Windows programs (the kernel must run 32-bit Linux ones).
wine_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
