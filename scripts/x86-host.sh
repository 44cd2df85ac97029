#!/usr/bin/env bash
# How this host runs 32-bit x86 Linux programs, such as Wine's 32-bit loader,
# found out by running one: prints one line, its first word "native",
# "emulated" or "none", then why.
#   bash scripts/x86-host.sh
# Some kernels run 64-bit user code only (ENOEXEC, "Exec format error", for
# any 32-bit ELF); binfmt_misc may hand such files to an emulator.
set -uo pipefail
export LC_ALL=C  # its words the same under every locale the tests set
tools=$(cd "$(dirname "$0")/.." && pwd)/build/tools
probe=$tools/x86-probe
if [ ! -x "$probe" ]; then
    # An i386 ELF executable of one segment whose code is exit(0).
    mkdir -p "$tools"
    printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0'`
          `'\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5b\0\0\0\x5b\0\0\0'`
          `'\x05\0\0\0\0\x10\0\0\x31\xdb\x31\xc0\x40\xcd\x80' >"$probe.$$"
    chmod +x "$probe.$$"
    mv -f "$probe.$$" "$probe"  # whole, for probes running side by side
fi
if ! failure=$("$probe" 2>&1); then
    echo "none: this host runs no 32-bit x86 programs (${failure##*: })"
    exit 0
fi
# It ran: natively, unless an enabled binfmt_misc entry claims i386 ELF files
# (magic at offset 0: ELF, 32-bit, and machine 3 at byte 18); the one that
# setup.sh registers first, as the newest entry is the one the kernel takes.
if [ "$(cat /proc/sys/fs/binfmt_misc/status 2>/dev/null)" = enabled ]; then
    for entry in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/*; do
        case ${entry##*/} in register | status) continue ;; esac
        magic=$(sed -n 's/^magic //p' "$entry" 2>/dev/null)
        if grep -qx enabled "$entry" 2>/dev/null && grep -qx 'offset 0' "$entry" \
            && [ "${magic:0:10}" = 7f454c4601 ] && [ "${magic:36:4}" = 0300 ]; then
            interpreter=$(sed -n 's/^interpreter //p' "$entry")
            emulator=$("$(readlink -f "$interpreter")" --version 2>/dev/null | awk 'NR == 1 {print $1, $3}')
            echo "emulated: 32-bit x86 programs run through ${emulator:-$interpreter}, binfmt_misc entry ${entry##*/}"
            exit 0
        fi
    done
fi
echo "native: this host runs 32-bit x86 programs natively"
