#!/usr/bin/env bash
# The time from a delivery to the check it sets off, over IMAP IDLE against a private Dovecot (plain IMAP on
# loopback, one account):
#
#   make idle-latency                       (builds build/release-native, then runs this)
#   tools/idle-bench/idle-latency.sh [BUILD_DIR] [DELIVERIES] [GAP_MS]
#
# Runs BUILD_DIR/idle-latency (default build/release-native; the test tree build/native works too, sanitizers and
# all) with DELIVERIES messages (default 20) GAP_MS apart (default 3000), and prints each delivery's time to its
# notice and to the check's result, then the median and the worst. Dovecot is started with tools/dovecot/dovecot.sh
# and stopped by its process id. Needs root (Dovecot's private instance) and dovecot-imapd.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/release-native}
deliveries=${2:-20}
gap_ms=${3:-3000}
source "$root/tools/dovecot/session.sh"

[[ -x "$build/idle-latency" ]] || { echo "idle-latency: no $build/idle-latency (make release-native)" >&2; exit 1; }
trap stop_dovecot EXIT
start_dovecot --imap user:pass
"$build/idle-latency" 127.0.0.1 "$dovecot_imap_port" user pass "$dovecot_dir/mail/user/Maildir" "$deliveries" "$gap_ms"
