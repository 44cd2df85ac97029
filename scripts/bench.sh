#!/usr/bin/env bash
# Times Gorvale.dll under Wine, side by side with the same platform calls
# written inline and with a Toolhelp32 snapshot walk, while 20, 100 and 300
# idle helper processes run (or the counts given). Run it on a quiet machine.
#   bash scripts/bench.sh [windows-x86|windows-x64] [N...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=windows-x86
case "${1:-}" in windows-*) preset=$1; shift ;; esac
for count in "$@"; do
    # The snapshot holds 1000 processes, Wine's own among them.
    if ! [[ $count =~ ^[1-9][0-9]{0,2}$ ]] || [ "$count" -gt 900 ]; then
        echo "bench.sh: helper counts are whole numbers from 1 to 900, not '$count'" >&2
        echo "Usage: bash scripts/bench.sh [windows-x86|windows-x64] [N...]" >&2
        exit 2
    fi
done
bash scripts/setup.sh
cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
cmake --build --preset "$preset" --target gorvale-bench -j"$(nproc)" >/dev/null

prefix=$PWD/build/$preset/wineprefix
status=0
scripts/wine-run.sh "$prefix" "build/$preset/bin/gorvale-bench.exe" "$@" || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
exit $status
