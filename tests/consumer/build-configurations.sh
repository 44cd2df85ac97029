#!/usr/bin/env bash
# build-configurations.sh WORK_DIR TOOLCHAIN_FILE: builds the DLL with the MSVC
# toolchain in the configurations that Visual Studio offers besides Release,
# as a user would, Just My Code asked for. No compile line of the library may
# carry runtime checks or Just My Code (both call into a C runtime that the
# library does not link), and each DLL imports only the platform calls. Then
# compiles the library's sources with intrinsics allowed (/Oi /O2): the
# objects may need nothing but the platform calls and the linker's symbols.
set -euo pipefail
work=$1 toolchain=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
status=0
problem() {
    echo "$*"
    status=1
}
# The compile lines of the library's own sources: one "FILE<TAB>COMMAND" each.
library_compile_lines() {
    python3 -c 'import json, sys
for entry in json.load(open(sys.argv[1])):
    if entry["file"].startswith(sys.argv[2] + "/src/") and entry["file"].endswith((".c", ".cpp")):
        print(entry["file"] + "\t" + entry["command"])' "$1/compile_commands.json" "$source"
}

for config in Debug RelWithDebInfo MinSizeRel; do
    build=$work/$config
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=$config \
          -DBUILD_TESTING=OFF -DCMAKE_VS_JUST_MY_CODE_DEBUGGING=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    cmake --build "$build" >"$build.log" 2>&1 || problem "$config: the build failed: $(cat "$build.log")"
    while IFS=$'\t' read -r file command; do
        if grep -Eo -- '[-/](RTC[1csu]*|JMC)( |$)' <<<"$command"; then
            problem "$config: $(basename "$file") is compiled with runtime checks or Just My Code"
        fi
    done < <(library_compile_lines "$build")
    imports=$(llvm-readobj-19 --coff-imports "$build/bin/Gorvale.dll" | sed -n 's/^ *Symbol: \([A-Za-z0-9]*\).*/\1/p' | sort | tr '\n' ' ')
    [ "$imports" = "CloseHandle EnumProcessModules EnumProcesses GetExitCodeProcess GetModuleBaseNameA IsDBCSLeadByte OpenProcess QueryFullProcessImageNameA " ] \
        || problem "$config: Gorvale.dll imports $imports"
done

# The Release lines, with intrinsics and full optimisation allowed.
build=$work/intrinsics
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DBUILD_TESTING=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
objects=()
while IFS=$'\t' read -r file command; do
    object=$build/$(basename "$file").obj
    command=$(sed -E 's# /Oi-# /Oi#; s# /O[12dsx]( |$)# /O2 #g; s# [-/]Fo[^ ]+# /Fo'"$object"'#' <<<"$command")
    (cd "$build" && eval "$command") || problem "$(basename "$file") does not compile with /Oi /O2"
    objects+=("$object")
done < <(library_compile_lines "$build")
needed=$(llvm-nm-19 --undefined-only --no-weak "${objects[@]}" 2>/dev/null | awk '$1 == "U" {print $2}' | sort -u)
defined=$(llvm-nm-19 --defined-only "${objects[@]}" 2>/dev/null | awk 'NF == 3 {print $3}' | sort -u)
# The platform's calls, in any decoration; the linker supplies the guard's and
# SafeSEH's tables, and GuardDispatch.asm the x64 dispatch routine.
platform_calls="CloseHandle|EnumProcessModules|EnumProcesses|GetExitCodeProcess|GetModuleBaseNameA|IsDBCSLeadByte"
platform_calls+="|OpenProcess|QueryFullProcessImageNameA"
unexpected=$(comm -23 <(echo "$needed") <(echo "$defined") | sed 's/^__imp_//' \
    | grep -Ev "^(_?($platform_calls)(@[0-9]+)?|_*(guard|safe_se_handler)_[a-z_]+|GuardDispatchToRax)\$" || true)
[ ${#objects[@]} -ge 3 ] || problem "only ${#objects[@]} of the library's sources were compiled"
[ -z "$unexpected" ] || problem "compiled with /Oi /O2, the library needs: $unexpected"
[ $status -eq 0 ] && echo "Debug, RelWithDebInfo and MinSizeRel: no runtime checks, platform imports only;" \
    "with /Oi /O2, ${#objects[@]} objects need only the platform and the linker"
exit $status
