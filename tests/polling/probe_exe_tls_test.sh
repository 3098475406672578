#!/usr/bin/env bash
# Drives pigeonet-probe (native, or the .exe through Wine) as a black box against POP3 over TLS on 127.0.0.1:995, and
# upgraded by STLS on a plain port:
#   probe_exe_tls_test.sh PATH/TO/pigeonet-probe[.exe]
# A test certificate authority is made here with openssl. Natively it is trusted through SSL_CERT_FILE for the
# probe's runs only; under Wine it is added to the user's Root store of a private prefix beside the executable
# (with add-root-certificate.exe from the same folder). Dovecot (ssl = required, POP3S only) and the silent
# listener are stopped by their process ids on the way out. Port 995 is fixed: the script runs in a private network
# namespace of its own (tools/private-net.sh), where the port is always free, so any number of runs can go at once.
# The .exe cases share one Wine session.
set -uo pipefail

exe=$(realpath "${1:?usage: $0 PATH/TO/pigeonet-probe}")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dovecot="$root/tools/dovecot/dovecot.sh"
source "$root/tests/polling/support/servers.sh"
port=995

if [[ $(id -u) -ne 0 ]] || ! command -v dovecot >/dev/null || ! command -v openssl >/dev/null; then
    echo "skipped: needs root (a network namespace), dovecot-pop3d and openssl"
    exit 0
fi
if [[ -z "${PIGEONET_PRIVATE_NET:-}" ]]; then
    exec "$root/tools/private-net.sh" bash "${BASH_SOURCE[0]}" "$@"
fi
if [[ "$exe" == *.exe && -z "${PIGEONET_WINE_SESSION:-}" ]]; then
    # The test authority is trusted in this prefix only.
    export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefixes/pigeonet_probe_exe_tls}
    exec "$root/tools/wine-run.sh" --session bash "${BASH_SOURCE[0]}" "$@"
fi

work=$(mktemp -d /tmp/pigeonet-tls.XXXXXX)
listener_pid=
stop_servers() {
    stop_dovecot
    if [[ -n "$listener_pid" ]]; then
        stop_process "$listener_pid"
        listener_pid=
    fi
}
trap 'stop_servers; rm -rf "$work"' EXIT

# --- certificates: the trusted test authority, a stranger authority, and server certificates from both ---
authority() {  # NAME CN
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/$1.key" -out "$work/$1.pem" -days 2 -subj "/CN=$2" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
server_certificate() {  # NAME AUTHORITY SUBJECT_ALT_NAMES
    openssl req -newkey rsa:2048 -nodes -keyout "$work/$1.key" -out "$work/$1.csr" -subj "/CN=$1" 2>/dev/null
    printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$3" >"$work/$1.ext"
    openssl x509 -req -in "$work/$1.csr" -CA "$work/$2.pem" -CAkey "$work/$2.key" -CAcreateserial \
        -out "$work/$1.pem" -days 2 -extfile "$work/$1.ext" 2>/dev/null
}
# A certificate whose validity ended years ago: only `openssl ca` takes explicit dates, and it wants a database.
expired_certificate() {  # NAME AUTHORITY SUBJECT_ALT_NAMES
    mkdir -p "$work/$2-db"
    : >"$work/$2-db/index.txt"
    printf '[ca]\ndefault_ca = signer\n[signer]\ndatabase = %s\nnew_certs_dir = %s\nserial = %s\n' \
        "$work/$2-db/index.txt" "$work/$2-db" "$work/$2-db/serial" >"$work/$2-db/ca.cnf"
    printf 'default_md = sha256\npolicy = any\n[any]\ncommonName = supplied\n' >>"$work/$2-db/ca.cnf"
    echo 1000 >"$work/$2-db/serial"
    openssl req -newkey rsa:2048 -nodes -keyout "$work/$1.key" -out "$work/$1.csr" -subj "/CN=$1" 2>/dev/null
    printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$3" >"$work/$1.ext"
    openssl ca -batch -notext -config "$work/$2-db/ca.cnf" -cert "$work/$2.pem" -keyfile "$work/$2.key" \
        -in "$work/$1.csr" -out "$work/$1.pem" -startdate 20200101000000Z -enddate 20200201000000Z \
        -extfile "$work/$1.ext" 2>/dev/null
}
authority test-ca "Pigeonet Test CA" || exit 1
authority stranger-ca "Stranger CA" || exit 1
server_certificate localhost test-ca "DNS:localhost,IP:127.0.0.1" || exit 1
server_certificate other-host test-ca "DNS:mail.example.org" || exit 1
# The short address forms written as DNS names: a check of the typed host as a name would pass them.
server_certificate literal-names test-ca "DNS:127.1,DNS:127.0.1,DNS:2130706433,DNS:0x7f.1" || exit 1
server_certificate stranger stranger-ca "DNS:localhost,IP:127.0.0.1" || exit 1
expired_certificate expired test-ca "DNS:localhost,IP:127.0.0.1" || exit 1

if [[ "$exe" == *.exe ]] && ! PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" \
    "$(dirname "$exe")/add-root-certificate.exe" "Z:${work//\//\\}\\test-ca.pem"; then
    echo "FAIL could not trust the test authority in $WINEPREFIX"
    exit 1
fi

run_probe() {
    if [[ "$exe" == *.exe ]]; then
        LC_ALL=C.UTF-8 PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" "$exe" "$@"
    else
        SSL_CERT_FILE="$work/test-ca.pem" SSL_CERT_DIR="$work/no-such-dir" "$exe" "$@"
    fi
}

start_server() {  # [--tls CERT KEY]
    start_dovecot --port "$port" "$@" user:pass
}

source "$root/tests/polling/support/expect.sh"

start_server --tls "$work/localhost.pem" "$work/localhost.key" || exit 1
"$dovecot" deliver "$dovecot_dir" user 3
expect "the count is read over TLS" 0 $'3\n' '' -- localhost "$port" user pass
# QUIT went inside TLS: Dovecot logs an orderly logout only for a QUIT it has read. Its log process writes that line
# on its own time, possibly after the probe has ended, so it gets up to 20 s to appear.
logged_out() { grep -q "Disconnected: Logged out" "$dovecot_dir/dovecot.log"; }
for ((tenth = 0; tenth < 200; tenth++)); do
    logged_out && break
    sleep 0.1
done
if logged_out; then
    echo "ok   QUIT reached the server inside TLS"
else
    echo "FAIL no logout in Dovecot's log:"
    sed 's/^/  /' "$dovecot_dir/dovecot.log"
    failures=$((failures + 1))
fi
expect "a wrong password over TLS shows the server's text" 1 '' $' [AUTH] Authentication failed.\r\n\n' -- \
    localhost "$port" user wrong
# Every form of the address that the resolver accepts is checked as 127.0.0.1, which the certificate names.
for host in 127.1 127.0.1 2130706433 0x7f.1; do
    expect "the address written as $host is checked as 127.0.0.1" 0 $'3\n' '' -- "$host" "$port" user pass
done
stop_servers

# no_login NAME: Dovecot saw no login attempt, so neither USER nor PASS was sent.
no_login() {
    if grep -Eq "Login: user=|auth failed|[0-9]+ attempts" "$dovecot_dir/dovecot.log"; then
        echo "FAIL $1: credentials reached the server:"
        sed 's/^/  /' "$dovecot_dir/dovecot.log"
        failures=$((failures + 1))
    else
        echo "ok   $1: no credentials sent"
    fi
}

start_server --tls "$work/literal-names.pem" "$work/literal-names.key" || exit 1
for host in 127.1 127.0.1 2130706433 0x7f.1; do
    expect "an address written as $host is not matched as a DNS name" 1 '' \
        $'TLS handshake failed: certificate is for another host name.\n' -- "$host" "$port" user pass
done
no_login "the address forms"
stop_servers

start_server --tls "$work/other-host.pem" "$work/other-host.key" || exit 1
expect "a certificate for another host name is refused" 1 '' \
    $'TLS handshake failed: certificate is for another host name.\n' -- localhost "$port" user pass
expect "a certificate for another host name is refused at 127.1" 1 '' \
    $'TLS handshake failed: certificate is for another host name.\n' -- 127.1 "$port" user pass
no_login "another host name"
stop_servers

start_server --tls "$work/stranger.pem" "$work/stranger.key" || exit 1
expect "a certificate from an untrusted authority is refused" 1 '' \
    $'TLS handshake failed: certificate not trusted.\n' -- localhost "$port" user pass
stop_servers

start_server --tls "$work/expired.pem" "$work/expired.key" || exit 1
expect "an expired certificate is refused" 1 '' \
    $'TLS handshake failed: certificate has expired.\n' -- localhost "$port" user pass
stop_servers

start_server || exit 1
expect "a plain POP3 server on 995 is refused cleanly" 1 '' \
    $'TLS handshake failed: the server did not answer in TLS.\n' -- localhost "$port" user pass
stop_servers

# A listener that accepts and never says a word: the handshake's wait ends with the read timeout (5000 ms).
python3 -c '
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 995)); s.listen(4); print("port=995", flush=True)
held = []
deadline = time.time() + 120
while time.time() < deadline:
    s.settimeout(1)
    try: held.append(s.accept()[0])
    except socket.timeout: pass
' >"$work/listener.out" &
listener_pid=$!
line_value "$work/listener.out" port "the silent listener" "$listener_pid" >/dev/null || exit 1
expect "a server that never answers the handshake times out" 1 '' $'Read Timeout.\n' -- localhost "$port" user pass
if ((elapsed_ms < 5000)); then
    echo "FAIL the timeout came after ${elapsed_ms} ms, before the 5000 ms read timeout"
    failures=$((failures + 1))
fi
stop_servers

# STLS on a plain port, where Dovecot offers it: the same certificate checks as on 995, and no credential before the
# handshake. (A server that offers no STLS, or refuses CAPA, is refused before USER: the scripted server's cases.)
start_dovecot --starttls "$work/localhost.pem" "$work/localhost.key" user:pass || exit 1
"$dovecot" deliver "$dovecot_dir" user 3
expect "STLS upgrades before USER" 0 $'3\n' '' -- --security starttls localhost "$dovecot_port" user pass
if grep -Eq "Login: user=<user>.*, TLS" "$dovecot_dir/dovecot.log"; then
    echo "ok   the login went inside TLS"
else
    echo "FAIL Dovecot's log shows no login inside TLS:"
    sed 's/^/  /' "$dovecot_dir/dovecot.log"
    failures=$((failures + 1))
fi
stop_servers
start_dovecot --starttls "$work/other-host.pem" "$work/other-host.key" user:pass || exit 1
expect "STLS checks the certificate's host name" 1 '' \
    $'TLS handshake failed: certificate is for another host name.\n' -- --security starttls localhost \
    "$dovecot_port" user pass
no_login "STLS with a certificate for another host name"
stop_servers

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
