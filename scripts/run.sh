#!/usr/bin/env bash
# The main job: builds Gorvale.dll and gorvale-check, then asks under Wine
# whether the given processes (or a few defaults) are running. The 32-bit
# build answers, or the 64-bit one where this host runs no 32-bit x86 code.
#   bash scripts/run.sh [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
x86=$(bash scripts/x86-host.sh)
preset=windows-x86
if [ "${x86%%:*}" = none ]; then
    preset=windows-x64
    echo "run.sh: ${x86#none: }, so the 64-bit build answers"
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target gorvale-check -j"$(nproc)" >/dev/null

[ $# -gt 0 ] || set -- explorer services no-such-app
prefix=$PWD/build/$preset/wineprefix
echo "gorvale-check $* (under $(/usr/lib/wine/wine64 --version), prefix $prefix)"
status=0
scripts/wine-run.sh "$prefix" build/$preset/bin/gorvale-check.exe "$@" || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

# 0 and 1 are answers; only 2 means trouble.
case $status in
    0) echo "exit status 0: every name is running" ;;
    1) echo "exit status 1: at least one name is not running (an answer, not a failure)" ;;
    *) echo "exit status $status: gorvale-check could not answer (see above)" ;;
esac
[ "$status" -lt 2 ]
