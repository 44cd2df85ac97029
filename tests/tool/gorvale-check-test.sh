#!/usr/bin/env bash
# gorvale-check-test.sh WINE_RUN... -- TOOL: runs gorvale-check under Wine and
# checks what it prints and the exit status it gives.
set -u
wine_run=()
while [ "$1" != "--" ]; do wine_run+=("$1"); shift; done
tool=$2
failures=0

# check STATUS REGEX ARG...: the exit status, and stdout (CRs dropped) matched whole.
check() {
    local want_status=$1 want_output=$2 output status
    shift 2
    output=$("${wine_run[@]}" "$tool" "$@" 2>/dev/null)
    status=$?
    output=${output//$'\r'/}
    if [ "$status" = "$want_status" ] && [[ $output =~ ^${want_output}$ ]]; then
        echo "ok: gorvale-check $* -> $status"
    else
        echo "FAIL: gorvale-check $*: status $status (want $want_status), output:"
        printf '%s\n' "$output"
        failures=$((failures + 1))
    fi
}

check 1 $'services: running\nno-such-app-gorvale: not running' services no-such-app-gorvale
check 0 $'SERVICES.EXE: running\nserv: running' SERVICES.EXE serv
check 0 'gorvale-check: running' gorvale-check
check 0 'Usage: gorvale-check NAME.*Exit status.*' --help
check 2 '' --bogus services
check 2 ''

[ "$failures" = 0 ]
