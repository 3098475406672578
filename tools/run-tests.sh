#!/usr/bin/env bash
# Runs the CTest suites of one or more build trees and closes with one line for the whole run:
#
#   tools/run-tests.sh BUILD_DIR...      e.g. tools/run-tests.sh build/native build/win
#   ...
#   216 passed, 0 failed
#
# Every tree runs even when an earlier one fails; each runs its tests in parallel (JOBS, default the number of cores):
# the servers of the tests bind free ports or run in private network namespaces, and every Windows test has a Wine
# prefix and screen of its own. The exit status is 0 only when every test passed.
set -uo pipefail

jobs=${JOBS:-$(nproc)}
passed=0
failed=0
status=0
for dir in "$@"; do
    output="$dir/Testing/run-tests.log"
    mkdir -p "$dir/Testing"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$output"
    ((PIPESTATUS[0] == 0)) || status=1
    # "100% tests passed, 0 tests failed out of 206"
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$output" | tail -1)
    if [[ -z "$summary" ]]; then
        echo "run-tests: no test summary from $dir: counted as one failure"
        failed=$((failed + 1))
        status=1
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done
echo "$passed passed, $failed failed"
exit "$status"
