# One run of pigeonet-probe checked against its exact output, for the black-box tests (sourced). The test defines
# run_probe ARGS... (how this build's probe runs); failures counts the failed cases, elapsed_ms is the last run's
# time.

failures=0
elapsed_ms=0

# expect NAME STATUS STDOUT STDERR -- ARGS...: one probe run and its exact output.
expect() {
    local name=$1 status=$2 stdout=$3 stderr=$4
    shift 5
    local out err got start
    out=$(mktemp)
    err=$(mktemp)
    start=$(date +%s%N)
    run_probe "$@" >"$out" 2>"$err"
    got=$?
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    if [[ $got -ne $status || "$(cat "$out"; echo x)" != "${stdout}x" || "$(cat "$err"; echo x)" != "${stderr}x" ]]; then
        echo "FAIL $name: status $got (want $status)"
        echo "  stdout: $(od -c "$out" | head -5)"
        echo "  stderr: $(od -c "$err" | head -5)"
        failures=$((failures + 1))
    else
        echo "ok   $name (${elapsed_ms} ms)"
    fi
    rm -f "$out" "$err"
}
