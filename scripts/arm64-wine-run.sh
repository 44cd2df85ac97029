#!/usr/bin/env bash
# arm64-wine-run.sh ROOT PREFIX PROGRAM [ARG...]: runs an ARM64 Windows program
# (or one of Wine's own, such as wineboot) under the arm64 build of Wine, on
# this x86-64 host. ROOT is an arm64 Debian
# root holding Wine, made on first use from this host's own suite
# (mmdebstrap --variant=extract, which runs no arm64 code); PREFIX, an arm64
# Wine prefix (made on first use). Each run is a user namespace of its own,
# whose binfmt_misc hands arm64 programs to Debian's static qemu-aarch64, so
# that the host's registrations are never touched; the root is entered with
# chroot, with the folder of ROOT and PREFIX, and PROGRAM's, at their own
# paths. Exits with the program's status, or with 77, saying why, where this
# host cannot do it (no qemu-aarch64, no binfmt_misc in a user namespace
# before Linux 6.7, an archive out of reach).
set -euo pipefail
root=$(realpath -m -- "$1") prefix=$(realpath -m -- "$2") program=$3
shift 3
[ ! -f "$program" ] || program=$(realpath -- "$program")
skip() { echo "arm64-wine-run.sh: skipped ${program##*/}: $*" >&2; exit 77; }
qemu=/usr/bin/qemu-aarch64
[ -x $qemu ] && file -L $qemu 2>/dev/null | grep -q 'static' \
    || skip "no static qemu-aarch64 (Debian's qemu-user 10) is installed (scripts/setup.sh installs it)"
# Made once for this host's suite, in a folder of its own, and taken into use
# whole; made again for another suite.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
if [ "$(cat "$root/made-from" 2>/dev/null)" != "$suite" ]; then
    command -v mmdebstrap >/dev/null || skip "mmdebstrap is not installed (scripts/setup.sh installs it)"
    rm -rf "$root.new"
    mkdir -p "$(dirname "$root")"
    mmdebstrap --quiet --variant=extract --architectures=arm64 --include=wine,wine64,libwine \
        "$suite" "$root.new" >"$root.log" 2>&1 || skip "mmdebstrap could not make an arm64 $suite root: $(tail -1 "$root.log")"
    echo "$suite" >"$root.new/made-from"
    rm -rf "$root" "$prefix"
    mv "$root.new" "$root"
fi
# Inside the namespace, as its root: the entry for arm64 ELF programs (fixed,
# F: qemu opened now, from the host), then the chroot.
inside=$(cat <<'INSIDE'
set -eu
root=$1 prefix=$2 program=$3
shift 3
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || exit 78
magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-aarch64:M::$magic:$mask:/usr/bin/qemu-aarch64:F" >/proc/sys/fs/binfmt_misc/register
mount --rbind /dev "$root/dev"
mount -t proc proc "$root/proc"
mount -t tmpfs tmpfs "$root/tmp"
for folder in "$(dirname "$prefix")" "$(dirname "$program")"; do
    [ "${folder#/}" != "$folder" ] || continue  # a program of Wine's own
    mkdir -p "$root$folder"
    mount --bind "$folder" "$root$folder"
done
# The extract variant runs no install scripts: no /usr/bin/wine, no wineserver
# on the PATH. Wine 10 under qemu's default CPU never finishes booting.
exec /usr/bin/env -i PATH=/usr/lib/wine:/usr/bin:/bin HOME=/tmp WINEPREFIX="$prefix" \
    WINESERVER=/usr/lib/wine/wineserver64 WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml=" \
    QEMU_CPU=neoverse-n1 LC_ALL=C.UTF-8 /usr/sbin/chroot "$root" /usr/lib/wine/wine64 "$@"
INSIDE
)
mkdir -p "$root/dev" "$root/proc" "$root/tmp" "$prefix"
status=0
unshare --user --map-root-user --mount --pid --fork sh -c "$inside" sh "$root" "$prefix" "$program" "$program" "$@" || status=$?
[ $status != 78 ] || skip "this kernel gives a user namespace no binfmt_misc of its own (Linux 6.7 and later do)"
[ $status = 0 ] || echo "arm64-wine-run.sh: ${program##*/} ended with status $status" >&2
exit $status
