#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against a private Dovecot:
#   probe_exe_dovecot_test.sh PATH/TO/pigeonet-probe[.exe]
# Starts Dovecot with tools/dovecot/dovecot.sh and stops it by its process id on the way out, like the port holder
# of the refused case. The .exe cases share one Wine session. The IMAP and STARTTLS cases use a throwaway test
# authority: trusted natively through SSL_CERT_FILE for the probe's runs only, under Wine in the private prefix
# (with add-root-certificate.exe from the probe's folder).
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
        SSL_CERT_FILE="$work/test-ca.pem" SSL_CERT_DIR="$work/no-such-dir" "$exe" "$@"
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
# A port outside 1 to 65535 is a wrong command line: the usage on standard error, as --help prints it.
usage=$(run_probe --help && echo x) || exit 1
usage=${usage%x}
expect "port above 65535 is a usage error" 2 '' "$usage" -- 127.0.0.1 "$((port + 65536))" user pass
scripted_server=$(scripted_server_in "$(dirname "$exe")") || exit 1
"$scripted_server" --refuse >"$work/holder" &
holder_pid=$!
refused=$(line_value "$work/holder" port "the refusing port's holder" "$holder_pid") || exit 1
expect "refused port" 1 '' $'Socket Error # 10061\r\nConnection refused.\n' -- 127.0.0.1 "$refused" user pass
expect "unknown host" 1 '' $'Socket Error # 11001\r\nHost not found.\n' -- no-such-host.invalid 110 user pass
expect "port that is not a number is a usage error" 2 '' "$usage" -- 127.0.0.1 x1 user pass
# Last on this server: after a failed login Dovecot delays the next logins from the same address by seconds.
expect "wrong password shows the server's text" 1 '' $' [AUTH] Authentication failed.\r\n\n' -- \
    127.0.0.1 "$port" user wrong

stop_dovecot

# --- IMAP and STARTTLS: every way in gives the same count of 5 messages delivered and 2 seen elsewhere ---
"$dovecot" certificate "$work" || exit 1
if [[ "$exe" == *.exe ]] && ! PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" \
    "$(dirname "$exe")/add-root-certificate.exe" "Z:${work//\//\\}\\test-ca.pem"; then
    echo "FAIL could not trust the test authority in $WINEPREFIX"
    exit 1
fi
routes=(  # USER PROTOCOL SECURITY PORT COUNT
    "imap_none --imap none imap 3"
    "imap_starttls --imap starttls imap 3"
    "imap_tls --imap tls imaps 3"
    "pop3_starttls - starttls pop3 5"
)
accounts=()
for route in "${routes[@]}"; do
    accounts+=("${route%% *}:pass")
done
start_dovecot --imap --starttls "$work/localhost.pem" "$work/localhost.key" "${accounts[@]}" || exit 1
for route in "${routes[@]}"; do
    read -r user protocol security listener count <<<"$route"
    case "$listener" in
        imap) port=$dovecot_imap_port ;;
        imaps) port=$dovecot_imaps_port ;;
        pop3) port=$dovecot_port ;;
    esac
    options=(--security "$security")
    [[ "$protocol" == --imap ]] && options=(--imap "${options[@]}")
    "$dovecot" deliver "$dovecot_dir" "$user" 5
    expect "$user: 5 delivered count 5" 0 $'5\n' '' -- "${options[@]}" localhost "$port" "$user" pass
    # Read on another device after Dovecot has looked at the mailbox: its next answer knows.
    "$dovecot" seen "$dovecot_dir" "$user" 2
    expect "$user: 2 of them seen count $count" 0 "$count"$'\n' '' -- "${options[@]}" localhost "$port" "$user" pass
done
stop_dovecot

# --- a server that offers no STARTTLS gets no credential from an account that asks for it ---
start_dovecot --imap starttls_only:pass || exit 1
expect "IMAP without STARTTLS is refused" 1 '' $'TLS not offered: the server does not announce STARTTLS.\n' -- \
    --imap --security starttls localhost "$dovecot_imap_port" starttls_only pass
expect "POP3 without STLS is refused" 1 '' $'TLS not offered: the server does not announce STLS.\n' -- \
    --security starttls localhost "$dovecot_port" starttls_only pass
# Dovecot logs every connection of its login processes when it ends, on its own time: the two greetings
# dovecot.sh waited for and the two probes. None of them may have tried to log in.
login_lines() { grep -e '-login: ' "$dovecot_dir/dovecot.log"; }
for ((tenth = 0; tenth < 200; tenth++)); do
    (($(login_lines | grep -c Disconnected) >= 4)) && break
    sleep 0.1
done
if (($(login_lines | grep -c Disconnected) < 4)) || login_lines | grep -v 'no auth attempts' |
    grep -q . || grep -q -e 'Login:' -e 'starttls_only' "$dovecot_dir/dovecot.log"; then
    echo "FAIL Dovecot's log shows a login attempt, or not all four connections:"
    sed 's/^/  /' "$dovecot_dir/dovecot.log"
    failures=$((failures + 1))
else
    echo "ok   Dovecot logged no authentication attempt"
fi

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
