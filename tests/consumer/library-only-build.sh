#!/usr/bin/env bash
# library-only-build.sh WORK_DIR TOOLCHAIN_FILE GENERATOR [OTHER_GENERATOR]:
# builds what ships, and nothing else (BUILD_TESTING=OFF: no GoogleTest), from
# two copies of the sources in two folders; the installed trees must be byte
# for byte the same and must not name either folder. With OTHER_GENERATOR, a
# third copy built with it must give the same DLL and import libraries.
set -euo pipefail
work=$1 toolchain=$(realpath "$2") generator=$3 other_generator=${4:-}
source=$(cd "$(dirname "$0")/../.." && pwd)
# One of the project's own is taken from each copy, so that no copy's build
# names the sources' folder; any other, from where it lies.
in_copy=
case $toolchain in "$source"/cmake/*) in_copy=${toolchain#"$source"/} ;; esac
rm -rf "$work"

build_copy() {  # FOLDER GENERATOR
    local tree=$work/$1 file=$toolchain
    [ -z "$in_copy" ] || file=$work/$1/$in_copy
    mkdir -p "$tree"
    cp -r "$source"/{CMakeLists.txt,LICENSE,README.md,CHANGELOG.md,cmake,docs,examples,include,src,tools} "$tree"
    cmake -S "$tree" -B "$tree/build" -G "$2" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
          -DCMAKE_TOOLCHAIN_FILE="$file" >/dev/null
    cmake --build "$tree/build" >/dev/null
    cmake --install "$tree/build" --prefix "$tree/installed" >/dev/null
}
copies=(one another-copy)
build_copy one "$generator"
build_copy another-copy "$generator"

status=0
[ -f "$work/one/build/CMakeCache.txt" ] || { echo "the library-only build has no CMakeCache.txt"; status=1; }
if grep -qi gtest "$work/one/build/CMakeCache.txt"; then
    echo "the library-only build configured GoogleTest"
    status=1
fi
# No MinGW toolchain builds for ARM64 here, so its tree has no libGorvale.dll.a.
shipped=(bin/Gorvale.dll lib/Gorvale.lib)
[[ $toolchain == *aarch64* ]] || shipped+=(lib/libGorvale.dll.a)
(cd "$work/one/installed" && ls "${shipped[@]}") >/dev/null || status=1
diff -r "$work/one/installed" "$work/another-copy/installed" || status=1
if [ -n "$other_generator" ]; then
    build_copy other-generator "$other_generator"
    copies+=(other-generator)
    for file in bin/Gorvale.dll lib/libGorvale.dll.a lib/Gorvale.lib; do
        cmp "$work/one/installed/$file" "$work/other-generator/installed/$file" || status=1
    done
fi
# A path may also appear with its separators turned into underscores.
for copy in "${copies[@]}"; do
    path=$work/$copy
    [ -d "$work/$copy/installed" ] || { echo "$copy installed nothing"; status=1; }
    if grep -rl -e "$path" -e "${path//[\/.-]/_}" "$work/$copy/installed"; then
        echo "shipped files name the build folder $path"
        status=1
    fi
done
# Every relative link in the installed documents leads to an installed file,
# and to a heading there where it names one.
python3 "$(dirname "$0")/check-links.py" "$work/one/installed" || status=1
[ $status -eq 0 ] && echo "two builds in two folders with $generator: $(cd "$work/one/installed" && find . -type f | wc -l)" \
    "identical files, no build path${other_generator:+; the same DLL and import libraries with $other_generator}"
exit $status
