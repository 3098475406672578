# Starting and stopping the processes the scripts under tools/ and tests/ run beside a program (sourced): a private
# Xvfb screen, a Wine server, test servers. Each is stopped by the process id its starter kept, never by name.

# start_xvfb SECONDS: starts a private Xvfb screen of 1024 x 768 (its process id in xvfb_pid) and exports DISPLAY.
# Fails when Xvfb has not reported its display within SECONDS; the caller still stops xvfb_pid.
start_xvfb() {
    local limit=$1 fifo number status
    fifo=$(mktemp -u)
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t "$limit" number <"$fifo"
    status=$?
    rm -f "$fifo"
    ((status == 0)) || return 1
    export DISPLAY=":$number"
}

# stop_process PID: stops a process this script started, by its process id, and reaps it.
stop_process() {
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

# stop_wineserver PID [TENTHS]: ends every Wine process of $WINEPREFIX and then its server (PID, started by this
# script), which gets TENTHS tenths of a second (100 by default) to go on its own before it is killed.
stop_wineserver() {
    local pid=$1 tenths=${2:-100}
    wineserver -k >/dev/null 2>&1
    for _ in $(seq "$tenths"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}
