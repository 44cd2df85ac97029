#!/usr/bin/env bash
# Builds the release archive build/Gorvale-<version>-windows.zip: for x86 and
# x64 each, the DLL, gorvale-check, the header, both import libraries, the
# CMake package, README and licence. It builds only what ships, in folders of
# its own.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=$PWD/build
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset" -B "$build/package/$preset" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$build/package/$preset" -j"$(nproc)" >/dev/null
done
cpack --config "$build/package/windows-x86/CPackConfig.cmake" -B "$build" \
      -D "CPACK_INSTALL_CMAKE_PROJECTS=$build/package/windows-x86;Gorvale;ALL;/x86;$build/package/windows-x64;Gorvale;ALL;/x64"
rm -rf "$build/_CPack_Packages"
