#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against a private Dovecot:
#   probe_exe_dovecot_test.sh PATH/TO/pigeonet-probe[.exe]
# Starts Dovecot with tools/dovecot/dovecot.sh and stops it by its process id on the way out, like the port holder
# of the refused case. The .exe cases share one Wine session.
set -uo pipefail

exe=$(realpath "${1:?usage: $0 PATH/TO/pigeonet-probe}")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dovecot="$root/tools/dovecot/dovecot.sh"
source "$root/tests/polling/support/servers.sh"

if [[ $(id -u) -ne 0 ]] || ! command -v dovecot >/dev/null; then
    echo "skipped: needs root and dovecot-pop3d"
    exit 0
fi
if [[ "$exe" == *.exe && -z "${PIGEONET_WINE_SESSION:-}" ]]; then
    export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefixes/pigeonet_probe_exe_dovecot}
    exec "$root/tools/wine-run.sh" --session bash "${BASH_SOURCE[0]}" "$@"
fi

run_probe() {
    if [[ "$exe" == *.exe ]]; then
        # Wine decodes the command line with the Unix locale: UTF-8, so non-ASCII passwords arrive intact.
        LC_ALL=C.UTF-8 PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" "$exe" "$@"
    else
        "$exe" "$@"
    fi
}

work=$(mktemp -d /tmp/pigeonet-dovecot-test.XXXXXX)
holder_pid=
cleanup() {
    stop_dovecot
    [[ -n "$holder_pid" ]] && stop_process "$holder_pid"
    rm -rf "$work"
}
trap cleanup EXIT

start_dovecot user:pass 'joerg:пароль ü' || exit 1
port=$dovecot_port
echo "dovecot on 127.0.0.1:$port (pid $dovecot_pid)"

source "$root/tests/polling/support/expect.sh"

expect "empty mailbox counts 0" 0 $'0\n' '' -- 127.0.0.1 "$port" user pass
"$dovecot" deliver "$dovecot_dir" user 3
expect "three messages count 3" 0 $'3\n' '' -- 127.0.0.1 "$port" user pass
"$dovecot" deliver "$dovecot_dir" user 1
expect "a message delivered between two probes counts 4" 0 $'4\n' '' -- localhost "$port" user pass
"$dovecot" deliver "$dovecot_dir" joerg 2
expect "non-ASCII password" 0 $'2\n' '' -- 127.0.0.1 "$port" joerg 'пароль ü'
expect "port above 65535 uses its low 16 bits" 0 $'4\n' '' -- 127.0.0.1 "$((port + 65536))" user pass
scripted_server=$(scripted_server_in "$(dirname "$exe")") || exit 1
"$scripted_server" --refuse >"$work/holder" &
holder_pid=$!
refused=$(line_value "$work/holder" port "the refusing port's holder" "$holder_pid") || exit 1
expect "refused port" 1 '' $'Socket Error # 10061\r\nConnection refused.\n' -- 127.0.0.1 "$refused" user pass
expect "unknown host" 1 '' $'Socket Error # 11001\r\nHost not found.\n' -- no-such-host.invalid 110 user pass
expect "port that is not a number" 1 '' $'\'x1\' is not a valid integer value.\n' -- 127.0.0.1 x1 user pass
# Last: after a failed login Dovecot delays the next logins from the same address by seconds.
expect "wrong password shows the server's text" 1 '' $' [AUTH] Authentication failed.\r\n\n' -- \
    127.0.0.1 "$port" user wrong

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
