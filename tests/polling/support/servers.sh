# Waiting for the test servers from shell, sourced by the black-box scripts. Every wait has a bound that is generous
# for a loaded machine (PIGEONET_WAIT_LIMIT seconds, 120 by default); when it runs out, the wait says on standard
# error what it waited for and fails, so no case goes on with an empty value.

# stop_process PID: stops a server this script started, by its process id.
source "$(dirname "${BASH_SOURCE[0]}")/../../../tools/lib/processes.sh"
# start_dovecot, stop_dovecot: a private Dovecot.
source "$(dirname "${BASH_SOURCE[0]}")/../../../tools/dovecot/session.sh"

wait_limit=${PIGEONET_WAIT_LIMIT:-120}

# scripted_server_in DIR: prints the scripted server's program (tools/scripted-server) of the build tree DIR, or
# the one PIGEONET_SCRIPTED_SERVER names. The Windows tree holds one built for this machine. Fails when it is missing.
scripted_server_in() {
    local program=${PIGEONET_SCRIPTED_SERVER:-$1/scripted-server}
    if [[ ! -x "$program" ]]; then
        echo "no scripted server at $program: build the tree first" >&2
        return 1
    fi
    echo "$program"
}

# line_value FILE KEY WHAT [PID]: prints VALUE from the first complete line KEY=VALUE of FILE (a server's address
# lines), waiting until it is there. Fails early when PID (the server) ends first.
line_value() {
    local file=$1 key=$2 what=$3 pid=${4:-}
    local deadline=$((SECONDS + wait_limit)) line
    while :; do
        # `read` hands a line to the loop only with its newline, so a line still being written is not taken.
        if [[ -f "$file" ]]; then
            while IFS= read -r line; do
                if [[ "$line" == "$key="?* ]]; then
                    echo "${line#"$key="}"
                    return 0
                fi
            done <"$file"
        fi
        if [[ -n "$pid" ]] && ! kill -0 "$pid" 2>/dev/null; then
            echo "gave up waiting for $what: the process (pid $pid) ended without writing $key= to $file" >&2
            return 1
        fi
        if ((SECONDS >= deadline)); then
            echo "gave up waiting for $what: no $key= in $file after $wait_limit s" >&2
            return 1
        fi
        sleep 0.05
    done
}

# wait_end PID WHAT: waits until PID has ended (and reaps it when it is this shell's child).
wait_end() {
    local pid=$1 what=$2
    local deadline=$((SECONDS + wait_limit))
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= deadline)); then
            echo "gave up waiting for $what: pid $pid still runs after $wait_limit s" >&2
            return 1
        fi
        sleep 0.05
    done
    wait "$pid" 2>/dev/null
    return 0
}
