#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARG...]: runs a Windows program under Wine in
# PREFIX (created on first use; a relative PREFIX is taken from the current
# folder, as Wine itself takes only absolute ones), without Mono or Gecko
# prompts or debug chatter, but with the loader's errors, such as a DLL that
# is not found.
set -e
WINEPREFIX=$(realpath -m -- "$1")
export WINEPREFIX
shift
export WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
