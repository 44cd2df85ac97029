#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARG...]: runs a Windows program under Wine in
# PREFIX (created on first use), without Mono or Gecko prompts or debug
# chatter, but with the loader's errors, such as a DLL that is not found.
set -e
export WINEPREFIX=$1
shift
export WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
