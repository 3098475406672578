#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's private prefix and cleans up after it.
#
#   tools/wine-run.sh PROGRAM.exe [ARG...]
#
# The prefix is $WINEPREFIX when set, otherwise build/wineprefix; it is created by wineboot once and reused.
# Without $DISPLAY a private Xvfb screen (1024 x 768) is started. A wineserver of our own is started for the
# run; when the program ends (or this script is interrupted) that wineserver and the Xvfb are stopped by
# process id, so nothing is left behind. The exit status is the program's.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if (($# < 1)); then
    echo "usage: $0 PROGRAM.exe [ARG...]" >&2
    exit 2
fi

log() { [[ -n "${PIGEONET_WINE_QUIET:-}" ]] || echo "wine-run: $*" >&2; }

xvfb_pid=
server_pid=
cleanup() {
    trap - EXIT INT TERM
    if [[ -n "$server_pid" ]]; then
        # Ends every Wine process of this prefix, then the server itself.
        wineserver -k >/dev/null 2>&1
        for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

prepare_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [[ ! -f "$WINEPREFIX/.pigeonet-ready" ]]; then
        log "creating the Wine prefix $WINEPREFIX (once)"
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # Debian's Wine does not find its own Tahoma; the program's windows are drawn with it.
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
        touch "$WINEPREFIX/.pigeonet-ready"
    fi
    flock -u 9
}

start_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        return
    fi
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    local number
    if ! read -r -t 20 number <"$fifo"; then
        rm -f "$fifo"
        echo "wine-run: Xvfb did not start" >&2
        exit 1
    fi
    rm -f "$fifo"
    export DISPLAY=":$number"
    log "no DISPLAY given: started Xvfb on $DISPLAY (pid $xvfb_pid)"
}

start_server() {
    wineserver -f -p &
    server_pid=$!
    # Wait until the server answers, so the program does not start a second one.
    local dir
    dir="/tmp/.wine-$(id -u)/server-$(printf '%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
    for _ in $(seq 100); do
        [[ -S "$dir/socket" ]] && return
        if ! kill -0 "$server_pid" 2>/dev/null; then
            # Another run already serves this prefix: share it, and leave it to its owner to stop.
            wait "$server_pid" 2>/dev/null
            server_pid=
            return
        fi
        sleep 0.05
    done
}

prepare_prefix
start_display
start_server
# In the background and waited for, so a TERM or INT sent to this script is handled at once (bash would defer it
# until a foreground program ends); the trap then stops the program with its wineserver.
wine "$@" &
wait $!
status=$?
exit "$status"
