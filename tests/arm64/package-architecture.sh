#!/usr/bin/env bash
# package-architecture.sh WORK_DIR BUILD_DIR: installs the ARM64 build's tree,
# then configures the consumer project against its CMake package with the
# ARM64 toolchain, which must take it, and with the x64 one, which must not:
# its pointers are as wide, but it could not link an ARM64 DLL.
set -euo pipefail
work=$1 build=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
cmake --install "$build" --prefix "$work/installed" >/dev/null
status=0
consumer() {  # TOOLCHAIN: configures the consumer, output in WORK_DIR/TOOLCHAIN.log
    cmake -S "$source/tests/consumer" -B "$work/$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source/cmake/$1.cmake" \
        -DGorvale_DIR="$work/installed/lib/cmake/Gorvale" >"$work/$1.log" 2>&1
}
consumer clang-cl-aarch64 || { echo "an ARM64 consumer did not take the ARM64 package:"; cat "$work/clang-cl-aarch64.log"; status=1; }
if consumer clang-cl-x86_64; then
    echo "an x64 consumer took the ARM64 package"
    status=1
elif ! grep -q 'version: [0-9.]* (arm64)' "$work/clang-cl-x86_64.log"; then
    echo "an x64 consumer was refused, but not for the package's architecture:"
    cat "$work/clang-cl-x86_64.log"
    status=1
fi
[ $status = 0 ] && echo "the ARM64 package takes an ARM64 consumer and refuses an x64 one"
exit $status
