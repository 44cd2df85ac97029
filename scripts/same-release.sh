#!/usr/bin/env bash
# same-release.sh TESTED SIGNED: checks that the release in folder SIGNED is
# the one in folder TESTED, signatures apart: each archive of TESTED is in
# SIGNED, with the same files, each the same bytes once a signed program's
# signature is taken off. Names every difference and exits 1 if there is one.
# The release job runs it before it uploads what it signed as an artifact.
set -euo pipefail
tested=$1 signed=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
differs() {
    echo "same-release.sh: $*"
    status=1
}
for archive in "$tested"/*.zip; do
    name=${archive##*/}
    [ -f "$signed/$name" ] || { differs "$signed has no $name"; continue; }
    mkdir -p "$work/tested/$name" "$work/signed/$name"
    unzip -q -d "$work/tested/$name" "$archive"
    unzip -q -d "$work/signed/$name" "$signed/$name"
    for side in tested signed; do
        (cd "$work/$side/$name" && find . -type f | LC_ALL=C sort) >"$work/$side.files"
    done
    cmp -s "$work/tested.files" "$work/signed.files" \
        || differs "$name holds other files: $(diff "$work/tested.files" "$work/signed.files" | grep '^[<>]' | tr '\n' ' ')"
    while read -r file; do
        copy=$work/signed/$name/$file
        [ -f "$copy" ] || continue
        if [[ $file == *.dll || $file == *.exe ]] \
            && osslsigncode remove-signature -in "$copy" -out "$work/unsigned" >/dev/null 2>&1; then
            copy=$work/unsigned
        fi
        cmp -s "$work/tested/$name/$file" "$copy" || differs "$name: ${file#./} is not the file that was tested"
        rm -f "$work/unsigned"
    done <"$work/tested.files"
done
[ -n "$(find "$tested" -maxdepth 1 -name '*.zip' -print -quit)" ] || differs "$tested holds no archive"
[ $status -ne 0 ] || echo "same-release.sh: $signed is the release in $tested, signed"
exit $status
