#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build for SECONDS each, one after the other, at low priority:
#   tests/fuzz/run.sh BUILD_DIR [SECONDS]
# Each target starts from its committed seed corpus (tests/fuzz/corpus/NAME) and keeps what it adds in
# BUILD_DIR/fuzz/corpus/NAME. A crash, leak, timeout, memory limit or broken invariant leaves its input in
# BUILD_DIR/fuzz/findings/NAME/ (replay it with BUILD_DIR/fuzz/fuzz_NAME FILE) and fails the run.
set -uo pipefail

build=$(realpath "${1:?usage: $0 BUILD_DIR [SECONDS]}")
seconds=${2:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

status=0
found=0
for target in "$build"/fuzz/fuzz_*; do
    [[ -x "$target" && "$target" != *_replay ]] || continue
    name=${target##*/fuzz_}
    corpus="$build/fuzz/corpus/$name"
    findings="$build/fuzz/findings/$name"
    log="$build/fuzz/$name.log"
    mkdir -p "$corpus" "$findings"
    found=$((found + 1))
    # Memory: no single allocation over 64 MB and no more than 1 GB in all, whatever the server sends; the
    # targets check their own tighter bound on what the probe holds.
    nice -n 10 "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$here/corpus/$name" \
        >"$log" 2>&1
    result=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    if ((result != 0)); then
        status=1
        echo "$name: FAILED after ${runs:-?} executions (exit $result); see $log and $findings"
        grep -m3 -E "ERROR|invariant|deadly|timeout|out-of-memory|leak" "$log" | sed 's/^/  /'
    else
        echo "$name: ${runs:-?} executions in $seconds s, ${coverage:-cov: ?} edges, corpus $(ls "$corpus" | wc -l) inputs"
    fi
done
if ((found == 0)); then
    echo "no fuzz targets in $build/fuzz" >&2
    exit 1
fi
exit $status
