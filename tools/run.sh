#!/usr/bin/env bash
# `make run`: starts the product build of Pigeonet (build/release-win/pigeonet.exe) under Wine in the private prefix
# build/wineprefix, with a demo POP3 mailbox on 127.0.0.1 that gives it something to announce. On $DISPLAY when
# there is one; otherwise on a private Xvfb screen of 1024 x 768, with a screenshot of every announcement saved
# under build/screenshots/. Ctrl-C stops Pigeonet, Wine, the demo mailbox and the screen, each by process id.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
source "$here/lib/processes.sh"
source "$here/demo-mailbox/account.sh"
export WINEPREFIX=$root/build/wineprefix
export PIGEONET_WINE_QUIET=1
demo_port=${PIGEONET_DEMO_PORT:-11110}
shots=$root/build/screenshots

demo_pid=
xvfb_pid=
program_pid=
watch_pid=
stop() {
    trap - EXIT INT TERM
    echo
    [[ -n "$watch_pid" ]] && kill "$watch_pid" 2>/dev/null
    if [[ -n "$program_pid" ]]; then
        kill -TERM "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        echo "run: stopped Pigeonet and its Wine server"
    fi
    if [[ -n "$demo_pid" ]]; then
        stop_process "$demo_pid"
        echo "run: stopped the demo mailbox (pid $demo_pid)"
    fi
    if [[ -n "$xvfb_pid" ]]; then
        stop_process "$xvfb_pid"
        echo "run: stopped Xvfb (pid $xvfb_pid)"
    fi
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The scripted server's demo mailbox: any login, 3 messages at start and one more every 60 s, every client served.
"$root/build/release-native/scripted-server" --port "$demo_port" --sessions 0 demo:3:60 >/dev/null &
demo_pid=$!
sleep 0.5
if ! kill -0 "$demo_pid" 2>/dev/null; then
    echo "run: the demo mailbox could not listen on 127.0.0.1:$demo_port (set PIGEONET_DEMO_PORT to another port)" >&2
    demo_pid=
    exit 1
fi
echo "run: demo mailbox on 127.0.0.1:$demo_port (pid $demo_pid): 3 messages, one more every minute"

own_screen=
if [[ -z "${DISPLAY:-}" ]]; then
    start_xvfb 20 || { echo "run: Xvfb did not start" >&2; exit 1; }
    own_screen=1
    mkdir -p "$shots"
    echo "run: no DISPLAY: Pigeonet runs on a private Xvfb screen $DISPLAY of 1024 x 768 (pid $xvfb_pid);"
    echo "run: a screenshot of every announcement is saved as $shots/announcement-N.png"
fi

# A prefix without accounts gets one, pointing at the demo mailbox, checked about every 26 seconds.
if ! "$here/wine-run.sh" reg query 'HKCU\Software\Zelvik\pg' /v list >/dev/null 2>&1; then
    import_demo_account "$root/build/demo-account.reg" "$demo_port" '"timer"="0"'
    echo "run: configured the account demo@localhost for the demo mailbox"
fi

echo "run: starting build/release-win/pigeonet.exe under Wine (prefix $WINEPREFIX); Ctrl-C stops everything"
"$here/wine-run.sh" "$root/build/release-win/pigeonet.exe" &
program_pid=$!

if [[ -n "$own_screen" ]]; then
    # The envelope at rest in the screen's bottom right-hand corner: one screenshot per rise.
    (
        shown=0
        count=0
        while sleep 1; do
            if xwininfo -root -tree 2>/dev/null | grep -q '"Pigeonet".*135x135+889+607'; then
                if ((shown == 0)); then
                    count=$((count + 1))
                    import -window root "$shots/announcement-$count.png" 2>/dev/null &&
                        echo "run: announcement $count saved as $shots/announcement-$count.png"
                fi
                shown=1
            else
                shown=0
            fi
        done
    ) &
    watch_pid=$!
fi

wait "$program_pid"
program_pid=
