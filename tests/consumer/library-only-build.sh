#!/usr/bin/env bash
# library-only-build.sh WORK_DIR TOOLCHAIN_FILE: builds what ships, and nothing
# else (BUILD_TESTING=OFF: no GoogleTest), from two copies of the sources in two
# folders; the installed trees must be byte for byte the same and must not name
# either folder.
set -euo pipefail
work=$1 toolchain=$(basename "$2")
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
for copy in one another-copy; do
    tree=$work/$copy
    mkdir -p "$tree"
    cp -r "$source"/{CMakeLists.txt,LICENSE,README.md,cmake,include,src,tools} "$tree"
    cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
          -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/$toolchain" >/dev/null
    cmake --build "$tree/build" >/dev/null
    cmake --install "$tree/build" --prefix "$tree/installed" >/dev/null
done

status=0
if grep -qi gtest "$work/one/build/CMakeCache.txt"; then
    echo "the library-only build configured GoogleTest"
    status=1
fi
ls "$work/one/installed/bin/Gorvale.dll" "$work/one/installed/lib/libGorvale.dll.a" >/dev/null || status=1
diff -r "$work/one/installed" "$work/another-copy/installed" || status=1
# A path may also appear with its separators turned into underscores.
for path in "$work/one" "$work/another-copy"; do
    if grep -rl -e "$path" -e "${path//[\/.-]/_}" "$work/one/installed" "$work/another-copy/installed"; then
        echo "shipped files name the build folder $path"
        status=1
    fi
done
[ $status -eq 0 ] && echo "two builds in two folders: $(cd "$work/one/installed" && find . -type f | wc -l) identical files, no build path"
exit $status
