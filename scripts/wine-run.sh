#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARG...]: runs a Windows program under Wine in
# PREFIX (created on first use; a relative PREFIX is taken from the current
# folder, as Wine itself takes only absolute ones), without Mono or Gecko
# prompts or debug chatter, but with the loader's errors, such as a DLL that
# is not found. Exits with the program's status; when that is not 0 (or 77,
# below), says what it was, and shows Wine's error lines of every channel.
#
# A 64-bit program, or one of Wine's own (wineboot, cmd), starts under Wine's
# 64-bit loader: Debian's `wine` picks the 32-bit one whenever wine32 is
# installed, and a host that runs no 32-bit x86 code cannot start that. There
# a 32-bit program is not run: the script says why and exits 77, which the
# tests count as skipped. Elsewhere it says, for a 32-bit program, whether it
# runs natively or emulated; the programs find that (native, emulated or
# none, from x86-host.sh) in GORVALE_X86_HOST.
#
# Wine's own background processes (services, the desktop) start from whichever
# program first needs them, inherit its output and outlive it. Whoever reads
# this script's output (ctest, a pipe) would then wait for them, not for the
# program. So the program writes to files, followed here until it ends.
set -euo pipefail
WINEPREFIX=$(realpath -m -- "$1")
export WINEPREFIX
shift
export WINEDEBUG=-all,err+all WINEDLLOVERRIDES="mscoree,mshtml="
x86=$(bash "$(dirname "$0")/x86-host.sh")
export GORVALE_X86_HOST=${x86%%:*}
# qemu-user loads a position-independent program at 0x400000, and Debian 13's
# 32-bit Wine loader is one (Debian 12's is not): a 32-bit Windows program
# without relocations, such as an NSIS installer, must load there and cannot.
if [ "$GORVALE_X86_HOST" = emulated ] && [ "$(od -An -tu2 -N2 -j16 /usr/lib/wine/wine 2>/dev/null)" -eq 3 ]; then
    GORVALE_X86_FIXED_BASE_TAKEN="qemu-user loads Wine's position-independent 32-bit loader at 0x400000, where a"
    GORVALE_X86_FIXED_BASE_TAKEN+=" 32-bit program without relocations must load"
    export GORVALE_X86_FIXED_BASE_TAKEN
fi
# From the program's PE header: the machine (14c for x86, 8664 for x64) and
# the characteristics (bit 0: no relocations).
header=$(($(od -An -tu4 -N4 -j60 "$1" 2>/dev/null || echo -4) + 4))
machine=$(od -An -tx2 -N2 -j $header "$1" 2>/dev/null | tr -d ' ') || true
fixed_base=$(($(od -An -tu2 -N2 -j $((header + 18)) "$1" 2>/dev/null || echo 0) & 1))
loader=wine
if [ "$machine" != 014c ] && [ -x /usr/lib/wine/wine64 ]; then
    loader=/usr/lib/wine/wine64
elif [ "$GORVALE_X86_HOST" = none ]; then
    echo "wine-run.sh: skipped $1: a 32-bit program, and ${x86#none: }" >&2
    exit 77
elif [ $fixed_base = 1 ] && [ -n "${GORVALE_X86_FIXED_BASE_TAKEN:-}" ]; then
    echo "wine-run.sh: skipped $1: $GORVALE_X86_FIXED_BASE_TAKEN" >&2
    exit 77
elif [ "$machine" = 014c ]; then
    echo "wine-run.sh: ${1##*/} is a 32-bit program; $x86" >&2
fi
# A prefix made where no 32-bit code ran lacks its 32-bit half: it is made
# anew once 32-bit code runs, but only when no other run uses it. Each run
# holds a shared lock on it, closed to Wine, whose server outlives the run.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
if [ -e "$WINEPREFIX/made-without-x86" ] && [ "$GORVALE_X86_HOST" != none ]; then
    flock -x 9
    if [ -e "$WINEPREFIX/made-without-x86" ]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
fi
flock -s 9
[ -d "$WINEPREFIX" ] || [ "$GORVALE_X86_HOST" != none ] || made_without_x86=1
output=$(mktemp) errors=$(mktemp) wine_errors=$(mktemp) runtime=
# Where no X display is, Wine 10 tries Wayland, whose library complains on
# stderr unless the user has a runtime folder: one of this run's own.
[ -d "${XDG_RUNTIME_DIR:-}" ] || { runtime=$(mktemp -d); export XDG_RUNTIME_DIR=$runtime; }
trap 'rm -rf "$output" "$errors" "$wine_errors" $runtime' EXIT
"$loader" "$@" <&0 >"$output" 2>"$errors" 9>&- &
program=$!
# A background job ignores Ctrl-C: pass an interruption on to the program.
trap 'kill $program 2>/dev/null' INT TERM
follow() { tail -s 0.1 -n +1 -f --pid="$program" "$1"; }
follow "$output" &
# The loader's errors as they come; Wine's others kept for a failure.
follow "$errors" | awk -v kept="$wine_errors" '/^([0-9a-f]+:)+err:/ && !/:err:module:/ { print >>kept; fflush(kept); next }
    { print; fflush() }' >&2 &
status=0
wait "$program" || status=$?
wait
if [ $status != 0 ] && [ $status != 77 ]; then
    said="wine-run.sh: ${1##*/} ended with status $status"
    [ $status -le 128 ] || said+=" (128 + $((status - 128)), as when killed by SIG$(kill -l $((status - 128)) 2>/dev/null))"
    if [ -s "$wine_errors" ]; then
        echo "$said; Wine's error lines ($(wc -l <"$wine_errors"), the last 100 shown):" >&2
        tail -n 100 "$wine_errors" >&2
    else
        echo "$said; Wine reported no error" >&2
    fi
fi
[ -z "${made_without_x86:-}" ] || [ ! -d "$WINEPREFIX" ] || touch "$WINEPREFIX/made-without-x86"
exit $status
