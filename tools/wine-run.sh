#!/usr/bin/env bash
# Runs Windows programs under Wine in a private prefix and cleans up after them.
#
#   tools/wine-run.sh PROGRAM.exe [ARG...]
#       runs one program in a Wine session of its own; the exit status is the program's
#   tools/wine-run.sh --session COMMAND [ARG...]
#       runs a Unix command (a test script) inside one Wine session: every `tools/wine-run.sh PROGRAM.exe` it calls
#       with the same prefix runs in that session, so a suite of cases pays once for the screen and the server
#
# A session: the prefix is $WINEPREFIX when set, otherwise build/wineprefix. A missing prefix is copied from the
# template prefix build/wineprefix-template, which wineboot makes once (with the Tahoma fonts); with
# PIGEONET_WINE_FRESH=1 the prefix is copied anew for every session, so no run sees what an earlier one left. Without
# $DISPLAY a private Xvfb screen (1024 x 768) is started. A wineserver of our own is started, and then Wine's own
# background processes (services, winedevice, plugplay, rpcss, the desktop) with their output going to a session log:
# they inherit the standard error of the process that starts them, and what they print (a crash while the session is
# torn down, say) must not be taken for the program's output. A non-empty log is shown at the end, under a heading
# that says whose it is. The wineserver (with every Wine process of the prefix) and the Xvfb are stopped by process id
# when the program or command ends, or when this script is interrupted.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
source "$here/lib/processes.sh"
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
template=${PIGEONET_WINE_TEMPLATE:-$root/build/wineprefix-template}
# Generous for a loaded machine: starting a prefix's services has been seen to take 20 s with two cores busy.
limit=${PIGEONET_WINE_START_LIMIT:-300}

if (($# < 1)) || [[ "$1" == --session && $# -lt 2 ]]; then
    echo "usage: $0 PROGRAM.exe [ARG...] | $0 --session COMMAND [ARG...]" >&2
    exit 2
fi

log() { [[ -n "${PIGEONET_WINE_QUIET:-}" ]] || echo "wine-run: $*" >&2; }
fail() {
    echo "wine-run: $*" >&2
    exit 1
}

# Runs the program or command in the background and waits for it, so a TERM or INT sent to this script is handled at
# once (bash would defer it until a foreground program ends).
child_pid=
run_child() {
    # A background job of a script reads /dev/null: it gets this script's standard input (a password piped to it).
    { "$@" <&3 3<&- & } 3<&0
    child_pid=$!
    wait "$child_pid"
    local status=$?
    child_pid=
    return "$status"
}

# Inside a session of this prefix the screen, the server and Wine's own processes are there already.
if [[ "$1" != --session && "${PIGEONET_WINE_SESSION:-}" == "$WINEPREFIX" ]]; then
    trap '[[ -n "$child_pid" ]] && kill "$child_pid" 2>/dev/null; exit 143' TERM
    trap '[[ -n "$child_pid" ]] && kill "$child_pid" 2>/dev/null; exit 130' INT
    run_child wine "$@"
    exit $?
fi

work=$(mktemp -d /tmp/pigeonet-wine.XXXXXX)
xvfb_pid=
server_pid=
server_dir=
cleanup() {
    trap - EXIT INT TERM
    [[ -n "$child_pid" ]] && stop_process "$child_pid"
    if [[ -n "$server_pid" ]]; then
        stop_wineserver "$server_pid"
        remove_server_folder "$WINEPREFIX"
    fi
    [[ -n "$xvfb_pid" ]] && stop_process "$xvfb_pid"
    if [[ -s "$work/wine.log" ]]; then
        echo "wine-run: Wine's own processes (not the program) wrote during the session:" >&2
        sed 's/^/wine-run:   /' "$work/wine.log" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The template prefix, made once per build tree; every prefix starts as a copy of it.
prepare_template() {
    mkdir -p "$(dirname "$template")"
    exec 8>"$template.lock"
    flock 8
    if [[ ! -f "$template/.pigeonet-ready" ]]; then
        log "creating the template Wine prefix $template (once)"
        rm -rf "$template"
        (
            export WINEPREFIX=$template
            timeout "$limit" wineboot -i >/dev/null 2>&1 && timeout "$limit" wineserver -w
        ) || fail "wineboot could not create $template within $limit s"
        # Each copy names a socket folder of its own when its server first starts.
        remove_server_folder "$template"
        rm -f "$template/wineserver"
        # Debian's Wine does not find its own Tahoma; the program's windows are drawn with it.
        mkdir -p "$template/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$template/drive_c/windows/Fonts/"
        touch "$template/.pigeonet-ready"
    fi
    flock -u 8
    exec 8>&-
}

# Copies the template: modules and tables (read only, most of the 700 MB) as hard links, everything else (the
# registry, .ini files, which Wine may rewrite in place) as files of their own.
copy_template() {
    local to=$1
    rm -rf "$to" "$to.new"
    cp -al "$template" "$to.new" || fail "cannot copy $template to $to"
    rm -f "$to.new/wineserver"
    find "$to.new" -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
        -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.tlb' -o -iname '*.nls' -o -iname '*.ttf' \) \
        -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f"; done' sh {} + ||
        fail "cannot copy $template to $to"
    mv "$to.new" "$to"
}

prepare_prefix() {
    if [[ "$WINEPREFIX" == "$template" ]]; then
        fail "WINEPREFIX is the template prefix $template"
    fi
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [[ ! -f "$WINEPREFIX/.pigeonet-ready" || -n "${PIGEONET_WINE_FRESH:-}" ]]; then
        prepare_template
        copy_template "$WINEPREFIX"
    fi
    flock -u 9
    exec 9>&-
}

start_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        return
    fi
    start_xvfb "$limit" || fail "Xvfb did not report its display within $limit s"
    log "no DISPLAY given: started Xvfb on $DISPLAY (pid $xvfb_pid)"
}

# The folder of the prefix's wineserver socket. Debian's Wine keeps it in a folder made by mkdtemp, whose name
# (wine-XXXXXX) it writes to the prefix's file `wineserver` at the server's first start; upstream Wine uses
# /tmp/.wine-UID. Empty while that name is not known yet.
server_folder() {
    local prefix=$1 base
    if [[ -f "$prefix/wineserver" ]]; then
        base=$(<"$prefix/wineserver")
        [[ "$base" =~ ^wine-[A-Za-z0-9]+$ ]] || return
        base=/tmp/$base
    elif [[ -d "/tmp/.wine-$(id -u)" ]]; then
        base=/tmp/.wine-$(id -u)
    else
        return
    fi
    printf '%s/server-%x-%x\n' "$base" "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")"
}

# Removes what a stopped wineserver of PREFIX leaves in /tmp: its socket folder, and the mkdtemp folder once empty.
remove_server_folder() {
    local folder
    folder=$(server_folder "$1")
    [[ -n "$folder" ]] || return 0
    rm -rf "$folder"
    [[ "$(dirname "$folder")" == /tmp/wine-* ]] && rmdir "$(dirname "$folder")" 2>/dev/null
    return 0
}

start_server() {
    wineserver -f -p &
    server_pid=$!
    # Wait until the server answers, so the program does not start a second one.
    local deadline=$((SECONDS + limit))
    while ((SECONDS < deadline)); do
        server_dir=$(server_folder "$WINEPREFIX")
        [[ -n "$server_dir" && -S "$server_dir/socket" ]] && return
        if ! kill -0 "$server_pid" 2>/dev/null; then
            # Another run already serves this prefix: share it, and leave it to its owner to stop.
            wait "$server_pid" 2>/dev/null
            server_pid=
            return
        fi
        sleep 0.05
    done
    fail "the wineserver for $WINEPREFIX did not open its socket (${server_dir:-folder not named yet}) within $limit s"
}

# Wine's own processes start with the first program of a server, and the desktop process with the first window:
# start both here, so they inherit the session log as their standard error instead of the program's.
start_wine_processes() {
    local status=0
    timeout "$limit" wine cmd.exe /c exit 0 </dev/null >/dev/null 2>>"$work/wine.log" || status=$?
    if ((status == 124)); then
        fail "Wine's own processes did not start within $limit s"
    elif ((status != 0)); then
        echo "(wine cmd.exe /c exit 0, run to start them, ended with status $status)" >>"$work/wine.log"
    fi
    wine explorer.exe /desktop </dev/null >/dev/null 2>>"$work/wine.log" &
}

prepare_prefix
start_display
start_server
if [[ -n "$server_pid" ]]; then
    start_wine_processes
fi
export PIGEONET_WINE_SESSION=$WINEPREFIX
if [[ "$1" == --session ]]; then
    shift
    run_child "$@"
else
    run_child wine "$@"
fi
exit $?
