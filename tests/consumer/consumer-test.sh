#!/usr/bin/env bash
# consumer-test.sh installed|subdirectory BUILD_DIR TOOLCHAIN_FILE WINE_RUN...:
# builds the consumer project against the build's installed tree
# (find_package) or against Gorvale's sources (add_subdirectory), then runs
# it under Wine.
set -euo pipefail
how=$1 build=$2 toolchain=$3
shift 3
work=$build/consumer-$how
rm -rf "$work"
if [ "$how" = installed ]; then
    cmake --install "$build" --prefix "$work/installed" >/dev/null
    gorvale=(-DCMAKE_PREFIX_PATH="$work/installed")
else
    gorvale=(-DGORVALE_SOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)")
fi
cmake -S "$(dirname "$0")" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${gorvale[@]}" >/dev/null
cmake --build "$work/build" >/dev/null
"$@" "$work/build/consumer.exe"
