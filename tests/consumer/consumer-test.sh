#!/usr/bin/env bash
# consumer-test.sh installed|subdirectory|fetchcontent|top-level BUILD_DIR TRIPLE WINE_RUN...:
# builds the consumer project with a MinGW toolchain file of its own (not
# Gorvale's, and finding packages only under its root path), against the
# build's installed tree (find_package, told Gorvale_DIR), Gorvale's sources
# (add_subdirectory) or an archive of them (FetchContent); then runs it under
# Wine. Built from sources, Gorvale must add no tool and nothing to the
# consumer's own install. top-level builds Gorvale itself as a packager
# would, with that toolchain file, where clang is not to be found: configuring
# must name it, and the DLL and gorvale-check must build without the tests.
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
    top-level)
        mkdir "$work/no-clang"
        for program in /usr/bin/* /usr/local/bin/*; do
            [[ ${program##*/} == clang* ]] || ln -sf "$program" "$work/no-clang/"
        done
        # CMake looks in the system's folders for programs too: those are left out.
        PATH=$work/no-clang cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_IGNORE_PATH="/usr/bin;/bin;/usr/sbin;/sbin;/usr/local/bin" \
            -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" >"$work/configure.log" 2>&1 \
            || { cat "$work/configure.log"; exit 1; }
        grep -q "tests are not built, for want of: CLANG" "$work/configure.log" \
            || { echo "configuring did not say that clang is missing:"; cat "$work/configure.log"; exit 1; }
        PATH=$work/no-clang cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
        answer=$("$@" "$work/build/bin/gorvale-check.exe" gorvale-check) || true
        [ "${answer//$'\r'/}" = "gorvale-check: running" ] \
            || { echo "the top-level build's gorvale-check answered '$answer', not 'gorvale-check: running'"; exit 1; }
        echo "a top-level build without clang said so, and built the DLL and gorvale-check"
        exit 0 ;;
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
