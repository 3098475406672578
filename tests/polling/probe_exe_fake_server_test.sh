#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against the scripted fake POP3 server
# and checks its output, its exit status and the exact bytes it sent:
#   probe_exe_fake_server_test.sh PATH/TO/pigeonet-probe[.exe]
# Every fake server it starts is stopped by its process id.
set -uo pipefail

exe=$(realpath "${1:?usage: $0 PATH/TO/pigeonet-probe}")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
server_pid=
cleanup() {
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
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
# expect NAME STATUS STDOUT STDERR SENT -- STEP...: one probe of a fresh fake server running the steps.
expect() {
    local name=$1 status=$2 stdout=$3 stderr=$4 sent=$5
    shift 6
    python3 "$root/tools/fake-pop3/fake_pop3.py" --record "$work/sent" "$@" >"$work/server" &
    server_pid=$!
    local port=
    for _ in $(seq 100); do
        port=$(sed -n 's/^port=//p' "$work/server")
        [[ -n "$port" ]] && break
        sleep 0.05
    done
    run_probe 127.0.0.1 "$port" x y >"$work/out" 2>"$work/err"
    local got=$?
    # The server ends once the probe has closed its connection.
    for _ in $(seq 100); do
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
    server_pid=
    if [[ $got -ne $status || "$(cat "$work/out"; echo x)" != "${stdout}x" ||
        "$(cat "$work/err"; echo x)" != "${stderr}x" || "$(cat "$work/sent"; echo x)" != "${sent}x" ]]; then
        echo "FAIL $name: status $got (want $status)"
        echo "  stdout: $(od -c "$work/out" | head -3)"
        echo "  stderr: $(od -c "$work/err" | head -3)"
        echo "  sent:   $(od -c "$work/sent" | head -3)"
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
