#!/usr/bin/env bash
# Builds and runs every test: the library's logic natively on a scripted
# platform; the DLL of the MSVC toolchain (clang-cl) for 32-bit and 64-bit
# Windows; then, for each architecture, the real DLLs of both toolchains, their
# callers, the installed package and gorvale-check under Wine; last, the ARM64
# DLL and its callers under Wine's arm64 build, emulated.
#   bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# How the 32-bit programs run, said for each preset: where they cannot,
# ctest lists their tests as skipped.
x86=$(bash scripts/x86-host.sh)

status=0
run() {  # PRESET [CONFIGURE OPTION...]
    local preset=$1
    shift
    echo "=== $preset; 32-bit x86 programs: $x86"
    cmake --preset "$preset" -DBUILD_TESTING=ON "$@" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
    ctest --preset "$preset" -j2 || status=1
    # Why ctest skipped what it skipped: the tests' own words, from its log.
    grep -ahE '^((arm64-)?wine-run.sh: )?skipped' "build/$preset/Testing/Temporary/LastTest.log" 2>/dev/null \
        | sed -E 's/^((arm64-)?wine-run.sh): skipped [^:]*: /\1 skipped a program: /' | sort | uniq -c \
        | sed -E "s/^ *([0-9]+) /=== $preset, \1 skipped: /" || true
}
run native
for arch in x86 x64; do
    run "clang-cl-$arch"
    run "windows-$arch" -DGORVALE_MSVC_TOOLCHAIN_BUILD="$PWD/build/clang-cl-$arch"
done
run clang-cl-arm64
exit $status
