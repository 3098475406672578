#!/usr/bin/env bash
# Whole-process time of one mailbox check, side by side on one private Dovecot (plain POP3 on loopback):
#
#   tools/probe-bench/compare-bench.sh [RELEASE_NATIVE_DIR] [RELEASE_WIN_DIR] [N]
#
# pigeonet-probe of the product build (default build/release-native, `make build`) against `fetchmail -c` and
# `mpop -s` (Debian's fetchmail and mpop, configured by rc files in a temporary folder). Each round runs the three in
# turn; printed are the median wall time over N rounds (default 30) with the ratios, the median CPU time (user and
# system) with its ratio, and the size of pigeonet.exe of the product build (default build/release-win). Dovecot is
# started with tools/dovecot/dovecot.sh and stopped by its process id.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=${1:-$root/build/release-native}
win=${2:-$root/build/release-win}
rounds=${3:-30}
dovecot="$root/tools/dovecot/dovecot.sh"

for tool in fetchmail mpop; do
    command -v "$tool" >/dev/null || { echo "compare-bench: needs $tool (apt-get install fetchmail mpop)" >&2; exit 1; }
done
[[ -x "$native/pigeonet-probe" ]] || { echo "compare-bench: no $native/pigeonet-probe (make build)" >&2; exit 1; }

pid=
dir=
work=$(mktemp -d /tmp/pigeonet-compare-bench.XXXXXX)
cleanup() {
    [[ -n "$pid" ]] && "$dovecot" stop "$pid" "$dir"
    rm -rf "$work"
}
trap cleanup EXIT

server=$("$dovecot" start user:pass)
pid=$(sed -n 's/^pid=//p' <<<"$server")
dir=$(sed -n 's/^dir=//p' <<<"$server")
port=$(sed -n 's/^port=//p' <<<"$server")
"$dovecot" deliver "$dir" user 3

# Plain POP3 with USER/PASS for all three; fetchmail and mpop keep their state files in the temporary folder.
cat >"$work/fetchmailrc" <<RC
poll 127.0.0.1 service $port protocol pop3 auth password user "user" password "pass" sslproto "" no sslcertck
RC
cat >"$work/mpoprc" <<RC
account default
host 127.0.0.1
port $port
user user
password pass
tls off
auth user
delivery mda /bin/true
uidls_file $work/mpop-uidls
RC
chmod 600 "$work/fetchmailrc" "$work/mpoprc"

HOME=$work FETCHMAILHOME=$work python3 - "$rounds" "$native/pigeonet-probe" "$port" "$work" "$win/pigeonet.exe" <<'PY'
import os, statistics, subprocess, sys, time

rounds, probe, port, work, exe = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
commands = {
    "pigeonet-probe": [probe, "127.0.0.1", port, "user", "pass"],
    "fetchmail -c": ["fetchmail", "-c", "-f", os.path.join(work, "fetchmailrc")],
    "mpop -s": ["mpop", "-C", os.path.join(work, "mpoprc"), "-s"],
}
def run(command):
    """Wall and CPU (user + system) seconds of one run, which must succeed."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"compare-bench: {' '.join(command)} failed")
    return wall, usage.ru_utime + usage.ru_stime

wall = {name: [] for name in commands}
cpu = {name: [] for name in commands}
for command in commands.values():  # one warm-up run each
    run(command)
for _ in range(rounds):
    for name, command in commands.items():
        w, c = run(command)
        wall[name].append(w)
        cpu[name].append(c)

median = {name: statistics.median(values) * 1000 for name, values in wall.items()}
median_cpu = {name: statistics.median(values) * 1000 for name, values in cpu.items()}
print(f"Whole-process time of one check, plain POP3 on 127.0.0.1:{port} (Dovecot, 3 messages), median of {rounds}")
print(f"{'tool':<16}{'wall ms':>9}{'min ms':>9}{'vs fetchmail -c':>17}{'vs mpop -s':>12}"
      f"{'CPU ms':>9}{'CPU vs fetchmail':>18}")
for name in commands:
    print(f"{name:<16}{median[name]:>9.2f}{min(wall[name]) * 1000:>9.2f}"
          f"{median[name] / median['fetchmail -c']:>17.2f}{median[name] / median['mpop -s']:>12.2f}"
          f"{median_cpu[name]:>9.2f}{median_cpu[name] / median_cpu['fetchmail -c']:>18.2f}")
if os.path.exists(exe):
    size = os.path.getsize(exe)
    print(f"pigeonet.exe (product build): {size} bytes ({size / 1024:.0f} KiB)")
else:
    print(f"pigeonet.exe: not built ({exe})")
PY
