#!/usr/bin/env bash
# Runs the lookup fuzzer longer than the tests do and says how many
# executions it made. New inputs go to build/native/fuzz-corpus.
#   bash scripts/fuzz.sh [SECONDS]    (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native -DBUILD_TESTING=ON >/dev/null
cmake --build --preset native --target lookup-fuzzer -j"$(nproc)" >/dev/null

seconds=${1:-300}
log=build/native/fuzz.log
mkdir -p build/native/fuzz-corpus
status=0
build/native/tests/logic/lookup-fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/native/ build/native/fuzz-corpus tests/fuzz/corpus >"$log" 2>&1 || status=$?
grep -E '^Done [0-9]+ runs|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "The fuzzer found a fault (exit status $status); see $log and the input it saved as build/native/crash-*."
fi
exit $status
