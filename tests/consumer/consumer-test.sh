#!/usr/bin/env bash
# consumer-test.sh installed|subdirectory|fetchcontent BUILD_DIR TRIPLE WINE_RUN...:
# builds the consumer project with a MinGW toolchain file of its own (not
# Gorvale's, and finding packages only under its root path), against the
# build's installed tree (find_package, told Gorvale_DIR), Gorvale's sources
# (add_subdirectory) or an archive of them (FetchContent); then runs it under
# Wine. Built from sources, Gorvale must add no tool and nothing to the
# consumer's own install.
set -euo pipefail
how=$1 build=$2 triple=$3
shift 3
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$build/consumer-$how
rm -rf "$work"
mkdir -p "$work"
cat >"$work/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER $triple-gcc)
set(CMAKE_CXX_COMPILER $triple-g++)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN
case $how in
    installed)
        cmake --install "$build" --prefix "$work/installed" >/dev/null
        gorvale=(-DGorvale_DIR="$work/installed/lib/cmake/Gorvale") ;;
    subdirectory)
        gorvale=(-DGORVALE_SOURCE_DIR="$source") ;;
    fetchcontent)
        (cd "$source" && tar -czf "$work/gorvale-source.tar.gz" --transform 's|^|gorvale/|' \
            CMakeLists.txt LICENSE README.md CHANGELOG.md cmake docs examples include src tools)
        gorvale=(-DGORVALE_SOURCE_ARCHIVE="$work/gorvale-source.tar.gz") ;;
esac
cmake -S "$(dirname "$0")" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" "${gorvale[@]}" >"$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
"$@" "$work/build/consumer.exe"
if [ "$how" != installed ]; then
    if find "$work/build" -name 'gorvale-check*.exe' | grep .; then
        echo "Gorvale built from sources also built its tool"
        exit 1
    fi
    cmake --install "$work/build" --prefix "$work/consumer-installed" >/dev/null
    installed=$(cd "$work/consumer-installed" && find . -type f | sort | tr '\n' ' ')
    [ "$installed" = "./bin/consumer.exe " ] || { echo "the consumer's install holds $installed"; exit 1; }
fi
