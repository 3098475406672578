#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against the scripted POP3 and IMAP server
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
# What the next cases pass before HOST, as PASSWORD, and on standard input.
options=()
password=y
input=
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
    run_probe "${options[@]}" 127.0.0.1 "$port" x "$password" <<<"$input" >"$files/out" 2>"$files/err"
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

# The password typed on standard input, its line end (CR LF too) stripped; the rest of the input is not read.
password=-
input=$'s3cret \xd0\xbf\r\nnext line'
expect "password from standard input" 0 $'2\n' '' $'USER x\r\nPASS s3cret \xd0\xbf\r\nSTAT\r\nQUIT\r\n' -- \
    login 'send:+OK 2 320\r\n'
password=y
input=

options=(--imap)
imap_status='tagged:* STATUS INBOX (MESSAGES 5 UNSEEN 3 UIDNEXT 9 UIDVALIDITY 1)\r\nOK done'
imap_all=$'A1 LOGIN "x" "y"\r\nA2 STATUS "INBOX" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)\r\nA3 LOGOUT\r\n'
expect "IMAP unread count" 0 $'3\n' '' "$imap_all" -- imap-login "$imap_status"
expect "IMAP refused login" 1 '' $' [AUTHENTICATIONFAILED] no\r\n\n' $'A1 LOGIN "x" "y"\r\nA2 LOGOUT\r\n' -- \
    'send:* OK [CAPABILITY IMAP4rev1] hi\r\n' 'tagged:NO [AUTHENTICATIONFAILED] no'
# STARTTLS chosen and not offered: refused before the login, LOGOUT still said in clear.
options=(--imap --security starttls)
expect "IMAP without STARTTLS" 1 '' $'TLS not offered: the server does not announce STARTTLS.\n' $'A1 LOGOUT\r\n' -- \
    'send:* OK [CAPABILITY IMAP4rev1] hi\r\n'
options=(--security starttls)
expect "POP3 without STLS" 1 '' $'TLS not offered: the server does not announce STLS.\n' $'CAPA\r\nQUIT\r\n' -- \
    'send:+OK hi\r\n' line 'send:+OK\r\nUSER\r\n.\r\n'
options=()

# A port that is not a whole number from 1 to 65535, and options it does not know, are usage errors.
# usage_error NAME ARGS...: the probe refuses the command line with the usage text, without any connection.
usage_error() {
    run_probe "${@:2}" </dev/null >"$work/usage.out" 2>"$work/usage.err"
    local got=$?
    if [[ $got -ne 2 || -s "$work/usage.out" ]] || ! grep -q '^Usage: pigeonet-probe \[--imap\]' "$work/usage.err"; then
        echo "FAIL usage error for $1: status $got (want 2)"
        failures=$((failures + 1))
    else
        echo "ok   usage error for $1"
    fi
}
for port in 0 65536 x "" -1 "110 " 0x6e; do
    usage_error "port '$port'" 127.0.0.1 "$port" x y
done
usage_error "an unknown security" --security ssl 127.0.0.1 110 x y
usage_error "an unknown option" --pop3 127.0.0.1 110 x y

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
