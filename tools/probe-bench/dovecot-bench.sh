#!/usr/bin/env bash
# Runs probe-bench against a private Dovecot on loopback: tools/probe-bench/dovecot-bench.sh BUILD_DIR [N] [plain|tls|both]
# plain: POP3 on a free port. tls: POP3S on 127.0.0.1:995 (needs root) with a certificate from a throwaway test
# authority that only this run trusts (SSL_CERT_FILE). both (the default) prints one row after the other.
# Each Dovecot is started with tools/dovecot/dovecot.sh and stopped by its process id afterwards. With the TLS row the
# whole run is in a private network namespace of its own (tools/private-net.sh), where 995 is always free.
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR [N] [plain|tls|both]}")
count=${2:-50}
mode=${3:-both}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dovecot="$root/tools/dovecot/dovecot.sh"
source "$root/tools/dovecot/session.sh"

if [[ "$mode" != plain && -z "${PIGEONET_PRIVATE_NET:-}" ]]; then
    exec "$root/tools/private-net.sh" bash "${BASH_SOURCE[0]}" "$build" "$count" "$mode"
fi

work=
cleanup() {
    stop_dovecot
    if [[ -n "$work" ]]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

start() {
    start_dovecot "$@" user:pass
    port=$dovecot_port
    "$dovecot" deliver "$dovecot_dir" user 3
}

if [[ "$mode" == plain || "$mode" == both ]]; then
    echo "== plain POP3"
    start
    "$build/probe-bench" "$count" 127.0.0.1 "$port" user pass
    cleanup
fi

if [[ "$mode" == tls || "$mode" == both ]]; then
    echo "== POP3 over TLS (port 995)"
    work=$(mktemp -d /tmp/pigeonet-bench-tls.XXXXXX)
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days 1 \
        -subj "/CN=Pigeonet Bench CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -keyout "$work/server.key" -out "$work/server.csr" -subj "/CN=localhost" \
        2>/dev/null
    printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' >"$work/server.ext"
    openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial \
        -out "$work/server.pem" -days 1 -extfile "$work/server.ext" 2>/dev/null
    start --port 995 --tls "$work/server.pem" "$work/server.key"
    SSL_CERT_FILE="$work/ca.pem" "$build/probe-bench" "$count" localhost 995 user pass
fi
