#!/usr/bin/env bash
# The main job: builds Gorvale.dll and gorvale-check, then asks under Wine
# whether the given processes (or a few defaults) are running.
#   bash scripts/run.sh [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target gorvale-check -j"$(nproc)" >/dev/null

[ $# -gt 0 ] || set -- explorer services no-such-app
prefix=$PWD/build/windows-x86/wineprefix
echo "gorvale-check $* (under $(wine --version), prefix $prefix)"
status=0
scripts/wine-run.sh "$prefix" build/windows-x86/bin/gorvale-check.exe "$@" || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

# 0 and 1 are answers; only 2 means trouble.
case $status in
    0) echo "exit status 0: every name is running" ;;
    1) echo "exit status 1: at least one name is not running (an answer, not a failure)" ;;
    *) echo "exit status $status: gorvale-check could not answer (see above)" ;;
esac
[ "$status" -lt 2 ]
