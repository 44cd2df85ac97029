#!/usr/bin/env bash
# Builds the release archive build/Gorvale-<version>-windows.zip: for x86 and
# x64 each, the DLL, gorvale-check, the header, both import libraries, the
# CMake package, README and licence.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
done
build=$PWD/build
cpack --config "$build/windows-x86/CPackConfig.cmake" -B "$build" \
      -D "CPACK_INSTALL_CMAKE_PROJECTS=$build/windows-x86;Gorvale;ALL;/x86;$build/windows-x64;Gorvale;ALL;/x64"
rm -rf "$build/_CPack_Packages"
