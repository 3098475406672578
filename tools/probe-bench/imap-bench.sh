#!/usr/bin/env bash
# Whole-process time of one IMAP unread count, side by side on one private Dovecot (plain IMAP on loopback):
#
#   make release-native && tools/probe-bench/imap-bench.sh [RELEASE_NATIVE_DIR] [N]
#
# pigeonet-probe --imap of the product build (default build/release-native) against curl asking
# `STATUS INBOX (UNSEEN)` and `fetchmail -c` over IMAP (installed with apt-get when missing). Each round runs the
# three in turn; printed are the median wall time over N rounds (default 30), its ratio to each of the other two (the
# median of the rounds' ratios), and the median CPU time (user and system). fetchmail gets an rc file of its own
# (mode 0600) in a temporary folder, which is also its HOME and FETCHMAILHOME: ~/.fetchmailrc is never read, and -c
# only counts (nothing is fetched or delivered). Dovecot is started with tools/dovecot/dovecot.sh and stopped by its
# process id.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=${1:-$root/build/release-native}
rounds=${2:-30}
dovecot="$root/tools/dovecot/dovecot.sh"
source "$root/tools/dovecot/session.sh"

if ! command -v fetchmail >/dev/null; then
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q fetchmail
fi
command -v curl >/dev/null || { echo "imap-bench: needs curl" >&2; exit 1; }
[[ -x "$native/pigeonet-probe" ]] || { echo "imap-bench: no $native/pigeonet-probe (make release-native)" >&2; exit 1; }

work=$(mktemp -d /tmp/pigeonet-imap-bench.XXXXXX)
cleanup() {
    stop_dovecot
    rm -rf "$work"
}
trap cleanup EXIT

# No TLS anywhere (nothing offers STARTTLS), so all three speak plain IMAP with a clear LOGIN.
start_dovecot --imap user:pass
port=$dovecot_imap_port
"$dovecot" deliver "$dovecot_dir" user 5
"$dovecot" seen "$dovecot_dir" user 2

cat >"$work/fetchmailrc" <<RC
poll 127.0.0.1 service $port protocol imap auth password user "user" password "pass" sslproto "" no sslcertck
RC
chmod 600 "$work/fetchmailrc"

HOME=$work FETCHMAILHOME=$work python3 - "$rounds" "$native/pigeonet-probe" "$port" "$work" <<'PY'
import os, statistics, subprocess, sys, time

rounds, probe, port, work = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
commands = {
    "pigeonet-probe --imap": ([probe, "--imap", "127.0.0.1", port, "user", "pass"], {0}),
    "curl STATUS": (["curl", "-s", "--url", f"imap://127.0.0.1:{port}/", "-u", "user:pass",
                     "-X", "STATUS INBOX (UNSEEN)"], {0}),
    # -c exits 0 when there is mail and 1 when there is none; either is a finished check.
    "fetchmail -c": (["fetchmail", "-c", "-f", os.path.join(work, "fetchmailrc")], {0, 1}),
}
def run(name):
    """Wall and CPU (user + system) seconds of one run, which must finish as the tool's check does."""
    command, statuses = commands[name]
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    output = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in statuses:
        sys.exit(f"imap-bench: {' '.join(command)} failed")
    return wall, usage.ru_utime + usage.ru_stime, output

for name in commands:  # one warm-up run each, which also shows what each one counted
    print(f"{name}: {run(name)[2].decode(errors='replace').strip()}")
wall = {name: [] for name in commands}
cpu = {name: [] for name in commands}
names = list(commands)
for round_ in range(rounds):
    # Each tool takes each place in the round in turn, so none always follows the same one.
    for name in names[round_ % len(names):] + names[:round_ % len(names)]:
        w, c, _ = run(name)
        wall[name].append(w)
        cpu[name].append(c)

def median_ratio(name, other):
    """The median of the round by round ratios: a round's runs share the machine's state of the moment."""
    return statistics.median(a / b for a, b in zip(wall[name], wall[other]))

median = {name: statistics.median(values) * 1000 for name, values in wall.items()}
median_cpu = {name: statistics.median(values) * 1000 for name, values in cpu.items()}
print(f"Whole-process time of one unread count, plain IMAP on 127.0.0.1:{port} (Dovecot, 5 messages, 3 unseen), "
      f"median of {rounds}; the ratios are medians of each round's ratio")
print(f"{'tool':<24}{'wall ms':>9}{'min ms':>9}{'vs curl':>9}{'vs fetchmail -c':>17}{'CPU ms':>9}")
for name in commands:
    print(f"{name:<24}{median[name]:>9.2f}{min(wall[name]) * 1000:>9.2f}"
          f"{median_ratio(name, 'curl STATUS'):>9.2f}{median_ratio(name, 'fetchmail -c'):>17.2f}"
          f"{median_cpu[name]:>9.2f}")
PY
