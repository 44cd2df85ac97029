#!/usr/bin/env bash
# Builds and runs every test: the library's logic natively on a scripted
# platform, then, for 32-bit and 64-bit Windows, the real DLL, its callers,
# its installed package and gorvale-check under Wine.
#   bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

status=0
for preset in native windows-x86 windows-x64; do
    echo "=== $preset"
    cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
    ctest --preset "$preset" -j2 || status=1
done
exit $status
