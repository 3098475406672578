#!/usr/bin/env bash
# Runs probe-bench against a private Dovecot on loopback: tools/probe-bench/dovecot-bench.sh BUILD_DIR [N]
# Dovecot is started with tools/dovecot/dovecot.sh and stopped by its process id afterwards.
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [N]}
count=${2:-50}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dovecot="$root/tools/dovecot/dovecot.sh"
server=$("$dovecot" start user:pass)
port=$(sed -n 's/^port=//p' <<<"$server")
pid=$(sed -n 's/^pid=//p' <<<"$server")
dir=$(sed -n 's/^dir=//p' <<<"$server")
trap '"$dovecot" stop "$pid" "$dir"' EXIT
"$dovecot" deliver "$dir" user 3
"$build/probe-bench" "$count" 127.0.0.1 "$port" user pass
