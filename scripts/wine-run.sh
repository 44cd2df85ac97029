#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARG...]: runs a Windows program under Wine in
# PREFIX (created on first use; a relative PREFIX is taken from the current
# folder, as Wine itself takes only absolute ones), without Mono or Gecko
# prompts or debug chatter, but with the loader's errors, such as a DLL that
# is not found. Exits with the program's status.
#
# Wine's own background processes (services, the desktop) start from whichever
# program first needs them, inherit its output and outlive it. Whoever reads
# this script's output (ctest, a pipe) would then wait for them, not for the
# program. So the program writes to files, followed here until it ends.
set -euo pipefail
WINEPREFIX=$(realpath -m -- "$1")
export WINEPREFIX
shift
export WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml="
output=$(mktemp) errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
wine "$@" <&0 >"$output" 2>"$errors" &
program=$!
# A background job ignores Ctrl-C: pass an interruption on to the program.
trap 'kill $program 2>/dev/null' INT TERM
follow() { tail -s 0.1 -n +1 -f --pid="$program" "$1"; }
follow "$output" &
follow "$errors" >&2 &
status=0
wait "$program" || status=$?
wait
exit $status
