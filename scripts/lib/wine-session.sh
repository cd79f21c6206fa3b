# Sourced by the test and demo scripts: a private Wine session made fresh for
# each run: its own prefix, a display, the virtual desktop every process joins,
# and one wineserver kept alive so that process starts are cheap.
# WINE_SESSION_CRASH_DEBUGGER, when set, is the program run for a crash.

WINE_SESSION_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

wine_session_start() { # PREFIX_DIR [DESKTOP_SIZE]
    local prefix=$1 size=${2:-1024x768}
    # Wine's own programs run by the 64-bit loader, whatever `wine` is.
    local wine64
    wine64=$("$WINE_SESSION_LIB/wine-loader" 64) || return 1
    export WINEPREFIX=$prefix
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko: nothing here needs them, and their installers would prompt.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    WINE_SESSION_XVFB_PID=""
    if [ -z "${DISPLAY:-}" ]; then
        local n
        for n in $(seq 90 130); do
            [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
        done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        WINE_SESSION_XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    "$wine64" wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    local reg
    reg=$(mktemp --suffix=.reg)
    cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$size"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
    if [ -n "${WINE_SESSION_CRASH_DEBUGGER:-}" ]; then
        # Wine starts it for an unhandled exception on any thread; it ends the
        # process with a failing code where winedbg may leave 0. A 32-bit
        # process reads the key's 32-bit view: the file goes to both.
        # Its Windows path through drive Z:, each separator doubled for the
        # .reg file (no winepath here: a failed one would end the caller).
        local debugger=Z:${WINE_SESSION_CRASH_DEBUGGER//\//\\\\}
        cat >>"$reg" <<REG

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]
"Debugger"="\\"$debugger\\" %ld %ld"
"Auto"="1"
REG
    fi
    local view
    for view in 64 32; do
        "$wine64" reg import "Z:${reg//\//\\}" "/reg:$view" >/dev/null 2>&1 </dev/null ||
            { echo "wine-session: the settings could not be written to $prefix (/reg:$view)" >&2; return 1; }
    done
    rm -f "$reg"
    wineserver -w
    # A persistent server for the whole run; it goes with wine_session_stop.
    wineserver -p >/dev/null 2>&1 </dev/null
}

wine_session_stop() {
    wineserver -k 2>/dev/null || true
    if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
        kill "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    fi
}
