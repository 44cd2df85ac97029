#!/usr/bin/env bash
# consumer-test.sh BUILD_DIR TOOLCHAIN_FILE WINE_RUN...: installs the build,
# builds the consumer project against the installed tree, and runs it under Wine.
set -euo pipefail
build=$1 toolchain=$2
shift 2
work=$build/consumer-test
rm -rf "$work"
cmake --install "$build" --prefix "$work/installed" >/dev/null
cmake -S "$(dirname "$0")" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/installed" >/dev/null
cmake --build "$work/build" >/dev/null
"$@" "$work/build/consumer.exe"
