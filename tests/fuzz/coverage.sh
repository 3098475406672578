#!/usr/bin/env bash
# Source coverage of the probe's code (src/polling, its .cpp files) reached by the fuzz corpus: builds the corpus replay with clang's
# coverage instrumentation in BUILD_DIR (default build/fuzz-coverage), replays the committed seeds and what `make
# fuzz` kept in build/fuzz, and prints llvm-cov's report:
#   tests/fuzz/coverage.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/fuzz-coverage}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPIGEONET_COVERAGE=ON -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --target fuzz_targets >/dev/null

profiles="$build/profiles"
rm -rf "$profiles"
mkdir -p "$profiles"
binaries=()
for replay in "$build"/fuzz/fuzz_*_replay; do
    name=${replay##*/fuzz_}
    name=${name%_replay}
    inputs=("$root/tests/fuzz/corpus/$name")
    [[ -d "$root/build/fuzz/fuzz/corpus/$name" ]] && inputs+=("$root/build/fuzz/fuzz/corpus/$name")
    LLVM_PROFILE_FILE="$profiles/$name.profraw" "$replay" "${inputs[@]}" >/dev/null
    binaries+=("$replay")
done
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
others=()
for binary in "${binaries[@]:1}"; do
    others+=(-object "$binary")
done
# Only the probe's folder: the targets, the test support and src/util are left out.
llvm-cov report "${binaries[0]}" "${others[@]}" -instr-profile="$profiles/merged.profdata" \
    -ignore-filename-regex='(^|/)(tests|util)/|\.h$'
