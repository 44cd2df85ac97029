#!/usr/bin/env bash
# Runs the stress tests at full size under Wine (the test command runs them
# reduced): 100 000 lookups over 20 helpers, 200 load/unload cycles, and 8
# threads looking up while helpers start and end. Prints the figures.
#   bash scripts/stress.sh [windows-x86|windows-x64]    (default windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-windows-x86}
bash scripts/setup.sh
cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" >/dev/null

build=build/$preset
prefix=$PWD/$build/wineprefix
echo "$preset under $(/usr/lib/wine/wine64 --version)"
status=0
for run in "real-dll-tests Stress.*" "load-unload-tests LoadUnload.ManyCycles*"; do
    set -- $run
    GORVALE_STRESS=full scripts/wine-run.sh "$prefix" "$build/bin/$1.exe" --gtest_filter="$2" \
        | grep -E '^stress:|^\[ +(OK|FAILED) +\]' || status=1
done
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
exit $status
