#!/usr/bin/env bash
# Installs what building and testing Gorvale needs on Debian (as root), and
# nothing that is already there.
set -euo pipefail

packages=(
    cmake make
    clang libclang-rt-dev libgtest-dev googletest         # native tests, sanitizers, fuzzer
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix  # the DLL and Windows programs
    lld llvm                                             # callers of the MSVC ABI
    wine wine32:i386 wine64                              # a Windows runtime
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
