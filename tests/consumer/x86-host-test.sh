#!/usr/bin/env bash
# x86-host-test.sh none|emulated WORK_DIR: in a user namespace with a
# binfmt_misc of its own, so that the host is left as it is,
#   none: 32-bit x86 ELF files are handed to an interpreter that cannot run,
#     as on a kernel that runs no 32-bit code; x86-host.sh must say so, and
#     wine-run.sh must skip a 32-bit program (exit 77) and name why;
#   emulated: setup.sh with GORVALE_EMULATE_X86=1 registers the installed
#     qemu-user; x86-host.sh must then say emulated.
# Exits 77 where no namespace with a binfmt_misc of its own can be made, or,
# for emulated, where no qemu-user 10 is installed (setup.sh installs it only
# where it is needed).
set -euo pipefail
how=$1 work=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
if [ "$how" = emulated ] \
    && ! dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" ge 1:10; then
    echo "skipped: no qemu-user 10 is installed here"
    exit 77
fi
if ! refused=$(unshare --user --map-root-user --mount sh -c 'mount -t binfmt_misc none /proc/sys/fs/binfmt_misc' 2>&1); then
    echo "skipped: no user namespace with a binfmt_misc of its own can be made here (Linux 6.7 and later" \
         "make one, outside a chroot): $refused"
    exit 77
fi
# A PE header that names the i386 machine, and an interpreter that is no program.
printf 'MZ' >"$work/x86.exe"
printf '\x40\0\0\0PE\0\0\x4c\x01' | dd of="$work/x86.exe" bs=1 seek=60 2>/dev/null
printf 'not a program\n' >"$work/refusing"
chmod +x "$work/refusing"
export source work how
unshare --user --map-root-user --mount bash -c '
set -euo pipefail
mount -t binfmt_misc none /proc/sys/fs/binfmt_misc
fail() { echo "$*"; exit 1; }
if [ "$how" = none ]; then
    echo ":refusing-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$work/refusing:F" \
        >/proc/sys/fs/binfmt_misc/register
    said=$(bash "$source/scripts/x86-host.sh")
    [ "$said" = "none: this host runs no 32-bit x86 programs (Exec format error)" ] || fail "x86-host.sh said: $said"
    status=0
    said=$(bash "$source/scripts/wine-run.sh" "$work/prefix" "$work/x86.exe" 2>&1) || status=$?
    [ $status = 77 ] || fail "wine-run.sh ran a 32-bit program where none runs: exit $status, $said"
    [[ $said == *"skipped $work/x86.exe: a 32-bit program, and this host runs no 32-bit x86 programs"* ]] \
        || fail "wine-run.sh did not say why it skipped: $said"
    [ ! -e "$work/prefix" ] || fail "wine-run.sh started Wine for a program it skipped"
else
    said=$(bash "$source/scripts/x86-host.sh")
    [[ $said != emulated:* ]] || fail "an empty binfmt_misc emulates: $said"
    said=$(GORVALE_EMULATE_X86=1 bash "$source/scripts/setup.sh" | tail -1)
    [[ $said == *"registered it with binfmt_misc for 32-bit x86 ELF files: now emulated: "*"qemu-i386"* ]] \
        || fail "setup.sh with GORVALE_EMULATE_X86=1 said: $said"
    said=$(bash "$source/scripts/x86-host.sh")
    [[ $said == "emulated: 32-bit x86 programs run through qemu-i386 1"* ]] || fail "x86-host.sh said: $said"
fi'
echo "$how: x86-host.sh, setup.sh and wine-run.sh hold"
