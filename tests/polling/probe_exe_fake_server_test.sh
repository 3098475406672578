#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against the scripted POP3 server
# (scripted-server, from the same build tree) and checks its output, its exit status and the exact bytes it sent:
#   probe_exe_fake_server_test.sh PATH/TO/pigeonet-probe[.exe]
# Every server it starts is stopped by its process id. The .exe cases share one Wine session.
set -uo pipefail

exe=$(realpath "${1:?usage: $0 PATH/TO/pigeonet-probe}")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/polling/support/servers.sh"
scripted_server=$(scripted_server_in "$(dirname "$exe")") || exit 1

if [[ "$exe" == *.exe && -z "${PIGEONET_WINE_SESSION:-}" ]]; then
    export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefixes/pigeonet_probe_exe_fake_server}
    exec "$root/tools/wine-run.sh" --session bash "${BASH_SOURCE[0]}" "$@"
fi

work=$(mktemp -d /tmp/pigeonet-fake-test.XXXXXX)
server_pid=
cleanup() {
    [[ -n "$server_pid" ]] && stop_process "$server_pid"
    rm -rf "$work"
}
trap cleanup EXIT

run_probe() {
    if [[ "$exe" == *.exe ]]; then
        PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" "$exe" "$@"
    else
        "$exe" "$@"
    fi
}

failures=0
cases=0
# expect NAME STATUS STDOUT STDERR SENT -- STEP...: one probe of a fresh scripted server running the steps.
expect() {
    local name=$1 status=$2 stdout=$3 stderr=$4 sent=$5
    shift 6
    # Files of this case's own: the shell creates a background job's output file only once the job runs, so a
    # file shared with the case before could still show the old server's port line, and the probe would go there.
    cases=$((cases + 1))
    local files=$work/$cases
    mkdir "$files"
    "$scripted_server" --record "$files/sent" "$@" >"$files/server" &
    server_pid=$!
    local port got
    if ! port=$(line_value "$files/server" port "the scripted server's port" "$server_pid"); then
        echo "FAIL $name: the scripted server did not start"
        failures=$((failures + 1))
        stop_process "$server_pid"
        server_pid=
        return
    fi
    run_probe 127.0.0.1 "$port" x y >"$files/out" 2>"$files/err"
    got=$?
    # The server ends once it has read the probe's close: by then it has recorded every byte the probe sent.
    local ended=1
    wait_end "$server_pid" "the scripted server to see the probe's close" || ended=
    stop_process "$server_pid"
    server_pid=
    if [[ -z "$ended" || $got -ne $status || "$(cat "$files/out"; echo x)" != "${stdout}x" ||
        "$(cat "$files/err"; echo x)" != "${stderr}x" || "$(cat "$files/sent"; echo x)" != "${sent}x" ]]; then
        echo "FAIL $name: status $got (want $status)"
        echo "  stdout: $(od -c "$files/out" | head -3)"
        echo "  stderr: $(od -c "$files/err" | head -3)"
        echo "  sent:   $(od -c "$files/sent" | head -3)"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

all=$'USER x\r\nPASS y\r\nSTAT\r\nQUIT\r\n'
# A failed STAT ends the run like it ends a check round: the probe is released without QUIT.
upto_stat=$'USER x\r\nPASS y\r\nSTAT\r\n'
expect "count" 0 $'2\n' '' "$all" -- login 'send:+OK 2 320\r\n'
expect "lower-case status words" 0 $'7\n' '' "$all" -- 'send:+ok hi\r\n' line 'send:+ok\r\n' line 'send:+ok\r\n' \
    line 'send:+ok 7 1\r\n'
expect "negative greeting sends QUIT" 1 '' $' too busy\r\n\n' $'QUIT\r\n' -- 'send:-ERR too busy\r\n'
# A server's escape sequences (a window title, a colour, a C1 CSI) reach the terminal as text; UTF-8 stays.
expect "server text escaped" 1 '' $' \\x1B]0;owned\\x07 \\x1B[31mred \\xC2\\x9B2J \xd0\xbf\xd0\xb0\r\n\n' $'QUIT\r\n' -- \
    'send:-ERR \x1b]0;owned\x07 \x1b[31mred \xc2\x9b2J \xd0\xbf\xd0\xb0\r\n'
expect "another protocol" 1 '' $'Unrecognized POP3 Response Header:\n"/1.1 400 Bad Request\r\n"\n' $'QUIT\r\n' -- \
    'send:HTTP/1.1 400 Bad Request\r\n'
expect "count without size" 1 '' $'\'\' is not a valid integer value.\n' "$upto_stat" -- login 'send:+OK 5\r\n'
expect "negative STAT" 1 '' $' locked\r\n\n' "$upto_stat" -- login 'send:-ERR locked\r\n'
expect "partial line then close" 1 '' $'Connection Closed Gracefully.\n' "$upto_stat" -- \
    login 'send:+OK 3' close
reset_text=$'Socket Error # 10054\r\nConnection reset by peer.\n'
if [[ "$exe" == *.exe ]]; then
    # Under Wine a reset peer is seen as an orderly close: recv reports 0 bytes, not WSAECONNRESET.
    reset_text=$'Connection Closed Gracefully.\n'
fi
expect "reset" 1 '' "$reset_text" "$upto_stat" -- \
    login reset
expect "trickle within the timeout" 0 $'4\n' '' "$all" -- login 'trickle:300:+OK 4 1\r\n'
expect "silence times out after 5000 ms" 1 '' $'Read Timeout.\n' "$upto_stat" -- login

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
