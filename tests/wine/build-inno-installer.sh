#!/usr/bin/env bash
# build-inno-installer.sh OUT.exe GORVALE_DLL APP_DIR APP_PROCESS WINE_RUN...:
# compiles examples/inno/installer.iss with Inno Setup's ISCC (from
# build/tools/innosetup, which scripts/setup.sh fetches) under Wine, for the
# Inno Setup tests. ISCC is a 32-bit program: where wine-run.sh cannot start
# it, no installer is made and the reason goes into inno-skipped.txt beside
# OUT, which the tests then give as theirs.
set -euo pipefail
out=$1 dll=$2 app_dir=$3 app_process=$4
shift 4
source=$(cd "$(dirname "$0")/../.." && pwd)
windows() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
skipped=$(dirname "$out")/inno-skipped.txt
rm -f "$out" "$skipped"
# The installer keeps its files' times: each is given a fixed one in a
# folder of this run's own, so that builds repeat.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$dll" "$stage/Gorvale.dll"
cp -r "$app_dir" "$stage/app"
find "$stage" -exec touch -d 2000-01-01T00:00:00Z {} +
status=0
LC_ALL=C.UTF-8 "$@" "$source/build/tools/innosetup/bin/ISCC.exe" /Q "/DGorvaleDll=$(windows "$stage/Gorvale.dll")" \
    "/DAppDir=$(windows "$stage/app")" "/DAppProcess=$app_process" /DAppName=GvInnoApp \
    "/O$(windows "$(dirname "$out")")" "/F$(basename "$out" .exe)" "$(windows "$source/examples/inno/installer.iss")" \
    2>"$out.err" || status=$?
if [ $status = 77 ]; then
    sed -n 's/^wine-run.sh: skipped [^:]*: /ISCC, a 32-bit program, did not run: /p' "$out.err" >"$skipped"
    status=0
fi
[ $status = 0 ] || cat "$out.err" >&2
rm -f "$out.err"
exit $status
