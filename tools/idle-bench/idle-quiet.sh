#!/usr/bin/env bash
# What ten watched IMAP accounts cost the real program while no mail comes: pigeonet.exe under Wine with ten IMAP
# accounts on a private Dovecot (plain IMAP on loopback) and the check interval at its longest, measured from outside
# through /proc (Wine runs the program as a Linux process):
#
#   make release-win && tools/idle-bench/idle-quiet.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR holds pigeonet.exe (default build/release-win, the product; build/win works too). After the start (the
# first round and the watchers' logins, WARM-UP seconds, default 30, from PIGEONET_IDLE_WARMUP) it samples the
# program's CPU time (user + system) and memory (resident, and private: the program's own pages, what Windows calls
# private bytes) and again SECONDS later (default 600), and prints the CPU share of one core and the growth. The Wine
# server's CPU time is shown beside it (it serves the program's calls). Dovecot's log tells how many IMAP sessions
# stood open at both samples and whether any watcher logged in again meanwhile. The program runs in its own prefix
# (build/wineprefixes/idle-quiet) on a private Xvfb screen; Dovecot, the program, its Wine server and the screen are
# stopped by process id at the end.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath "${1:-$root/build/release-win}")
seconds=${2:-600}
warmup=${PIGEONET_IDLE_WARMUP:-30}
accounts=10
source "$root/tools/dovecot/session.sh"

[[ -f "$build/pigeonet.exe" ]] || { echo "idle-quiet: no $build/pigeonet.exe (make release-win)" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || { echo "idle-quiet: needs root (a private Dovecot)" >&2; exit 1; }

export WINEPREFIX=$root/build/wineprefixes/idle-quiet
export PIGEONET_WINE_QUIET=1
unset DISPLAY
work=$(mktemp -d /tmp/pigeonet-idle-quiet.XXXXXX)
runner_pid=
cleanup() {
    trap - EXIT INT TERM
    if [[ -n "$runner_pid" ]]; then
        # wine-run.sh ends the program, then stops its Wine server and the screen.
        kill -TERM "$runner_pid" 2>/dev/null
        wait "$runner_pid" 2>/dev/null
    fi
    stop_dovecot
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

users=()
for ((i = 1; i <= accounts; i++)); do users+=("quiet$i:secret"); done
start_dovecot --imap "${users[@]}" || exit 1
echo "idle-quiet: Dovecot IMAP on 127.0.0.1:$dovecot_imap_port (pid $dovecot_pid), $accounts accounts, no mail"

{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Zelvik\\pg]\r\n'
    printf '"list"="%d"\r\n"timer"="30"\r\n"speed"="10"\r\n"infotime"="3"\r\n' "$accounts"
    for ((i = 0; i < accounts; i++)); do
        printf '"email%d"="quiet%d@localhost"\r\n"smtp%d"="127.0.0.1"\r\n"log%d"="quiet%d"\r\n' "$i" $((i + 1)) "$i" "$i" $((i + 1))
        printf '"pas%d"="secret"\r\n"port%d"="%s"\r\n"proto%d"="imap"\r\n"security%d"="none"\r\n"count%d"="0"\r\n' \
            "$i" "$i" "$dovecot_imap_port" "$i" "$i" "$i"
    done
} >"$work/accounts.reg"
"$root/tools/wine-run.sh" regedit /S "Z:${work//\//\\}\\accounts.reg" >/dev/null 2>&1 ||
    { echo "idle-quiet: the accounts could not be imported" >&2; exit 1; }

"$root/tools/wine-run.sh" "$build/pigeonet.exe" &
runner_pid=$!

# The Linux process of a Windows program NAME running in our prefix (others may run the same program elsewhere).
process_of() {
    local name=$1 status
    for status in /proc/[0-9]*/status; do
        local dir=${status%/status}
        grep -q "^Name:[[:space:]]*${name:0:15}\$" "$status" 2>/dev/null || continue
        tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        echo "${dir#/proc/}"
        return 0
    done
    return 1
}

program=
for _ in $(seq 600); do
    program=$(process_of pigeonet.exe) && break
    kill -0 "$runner_pid" 2>/dev/null || { echo "idle-quiet: the program ended at its start" >&2; exit 1; }
    sleep 0.1
done
[[ -n "$program" ]] || { echo "idle-quiet: pigeonet.exe did not start" >&2; exit 1; }
# The Wine server keeps no WINEPREFIX in its environment: ours is the one wine-run.sh started.
wine_server() {
    local status
    for status in /proc/[0-9]*/status; do
        grep -q "^Name:[[:space:]]*wineserver" "$status" 2>/dev/null || continue
        local pid=${status#/proc/} parent
        pid=${pid%/status}
        parent=$pid
        while [[ -n "$parent" && "$parent" != 0 && "$parent" != 1 ]]; do
            if [[ "$parent" == "$runner_pid" ]]; then
                echo "$pid"
                return 0
            fi
            parent=$(awk '/^PPid:/ { print $2 }' "/proc/$parent/status" 2>/dev/null)
        done
    done
    return 1
}
server=$(wine_server || true)
echo "idle-quiet: pigeonet.exe is process $program (Wine server $server); warming up for $warmup s"
sleep "$warmup"

ticks=$(getconf CLK_TCK)
cpu_seconds() {  # user + system time of process $1, in seconds
    awk -v t="$ticks" '{ sub(/^.*\) /, ""); print ($12 + $13) / t }' "/proc/$1/stat"
}
memory_kib() {  # resident and private KiB of process $1
    awk '/^Rss:/ { r = $2 } /^Private_(Clean|Dirty):/ { p += $2 } END { print r, p }' "/proc/$1/smaps_rollup"
}
imap_sessions() {  # logins and open IMAP sessions of the ten accounts, by Dovecot's log
    awk '/imap-login: .*Login: user=<quiet/ { in_ += 1 }
         /imap\(quiet[0-9]+\).*(Logged out|Disconnected)/ { out += 1 }
         END { print in_ + 0, in_ - out }' "$dovecot_dir/dovecot.log"
}

read -r logins_start open_start < <(imap_sessions)
cpu_start=$(cpu_seconds "$program")
server_start=$([[ -n "$server" ]] && cpu_seconds "$server" || echo 0)
read -r rss_start private_start < <(memory_kib "$program")
start=$(date +%s.%N)
echo "idle-quiet: at start: CPU $cpu_start s, resident $rss_start KiB, private $private_start KiB;" \
    "$open_start IMAP sessions open ($logins_start logins so far); measuring for $seconds s"
sleep "$seconds"
kill -0 "$program" 2>/dev/null || { echo "idle-quiet: the program ended during the measurement" >&2; exit 1; }
end=$(date +%s.%N)
cpu_end=$(cpu_seconds "$program")
server_end=$([[ -n "$server" ]] && cpu_seconds "$server" || echo 0)
read -r rss_end private_end < <(memory_kib "$program")
read -r logins_end open_end < <(imap_sessions)

awk -v s="$start" -v e="$end" -v c0="$cpu_start" -v c1="$cpu_end" -v w0="$server_start" -v w1="$server_end" \
    -v r0="$rss_start" -v r1="$rss_end" -v p0="$private_start" -v p1="$private_end" \
    -v l0="$logins_start" -v l1="$logins_end" -v o0="$open_start" -v o1="$open_end" 'BEGIN {
    span = e - s
    printf "idle-quiet: %d accounts watched for %.0f s without mail (pigeonet.exe under Wine)\n", 10, span
    printf "  CPU: %.2f s of the program = %.3f %% of one core; the Wine server %.2f s = %.3f %%\n",
        c1 - c0, 100 * (c1 - c0) / span, w1 - w0, 100 * (w1 - w0) / span
    printf "  resident: %d KiB -> %d KiB (%+d KiB); private: %d KiB -> %d KiB (%+d KiB)\n",
        r0, r1, r1 - r0, p0, p1, p1 - p0
    printf "  IMAP sessions open: %d -> %d; logins meanwhile: %d\n", o0, o1, l1 - l0
    if (o0 < 10 || o1 < 10) print "  NOT every account had its watcher connected"
}'
