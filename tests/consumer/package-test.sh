#!/usr/bin/env bash
# package-test.sh WORK_DIR WINE_RUN...: packages the release three times, into
# folders of WORK_DIR: unsigned, signed with a throwaway code-signing
# certificate made here, and with a wrong password; then checks the
# checksums, the symbols, the signatures, and that the signed DLL answers
# under Wine.
set -euo pipefail
work=$1
shift
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
status=0
problem() {
    echo "$*"
    status=1
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Gorvale test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
password="throwaway-$RANDOM$RANDOM"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" -passout "pass:$password"

package() {  # RUN [PASSWORD]: packages into WORK_DIR/RUN, output in RUN.log
    if [ $# -gt 1 ]; then
        GORVALE_SIGN_PKCS12=$work/signer.p12 GORVALE_SIGN_PASSWORD=$2 \
            bash "$source/scripts/package.sh" "$work/$1" >"$work/$1.log" 2>&1
    else
        bash "$source/scripts/package.sh" "$work/$1" >"$work/$1.log" 2>&1
    fi
}
package unsigned || problem "unsigned packaging failed: $(cat "$work/unsigned.log")"
grep -q "^Not signed" "$work/unsigned.log" || problem "the unsigned run does not say that it signed nothing"
package signed "$password" || problem "signed packaging failed: $(cat "$work/signed.log")"
if package wrong-password "not-$password"; then
    problem "packaging with a wrong password succeeded"
fi
grep -q "^package.sh: cannot sign" "$work/wrong-password.log" || problem "a wrong password gives no clear message"
if ls "$work/wrong-password" | grep -q .; then
    problem "a wrong password left files behind: $(ls "$work/wrong-password")"
fi
if grep -F -e "$password" "$work"/*.log; then
    problem "the password shows in the output"
fi

for run in unsigned signed; do
    (cd "$work/$run" && sha256sum --check --quiet SHA256SUMS) || problem "$run: the checksums do not hold"
    grep -c zip "$work/$run/SHA256SUMS" | grep -qx 2 || problem "$run: SHA256SUMS does not list both archives"
    unzip -q -d "$work/$run/files" "$work/$run"/Gorvale-*-windows.zip
    unzip -q -d "$work/$run/symbols" "$work/$run"/Gorvale-*-windows-symbols.zip
done

for arch in x86 x64; do
    signed=$(echo "$work"/signed/files/Gorvale-*-windows/$arch)
    unsigned=$(echo "$work"/unsigned/files/Gorvale-*-windows/$arch)
    for file in bin/Gorvale.dll bin/gorvale-check.exe; do
        osslsigncode verify -CAfile "$work/cert.pem" -in "$signed/$file" >/dev/null 2>&1 \
            || problem "$arch/$file: the signature does not verify"
        osslsigncode remove-signature -in "$signed/$file" -out "$work/stripped" >/dev/null
        cmp -s "$work/stripped" "$unsigned/$file" || problem "$arch/$file less its signature differs from the unsigned one"
        rm -f "$work/stripped"
    done
    # One byte of code changed after signing.
    cp "$signed/bin/Gorvale.dll" "$work/tampered.dll"
    printf '\x90' | dd of="$work/tampered.dll" bs=1 seek=1100 conv=notrunc 2>/dev/null
    if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.dll" >/dev/null 2>&1; then
        problem "$arch: a DLL changed after signing still verifies"
    fi
    # The symbols are the shipped DLL's: the same GUID and age.
    dll_id=$(llvm-readobj-19 --coff-debug-directory "$signed/bin/Gorvale.dll" \
        | sed -n 's/^ *PDB\(GUID\|Age\): //p' | tr '\n' ' ')
    pdb_id=$(llvm-pdbutil-19 dump --summary "$work/signed/symbols/$arch/Gorvale.pdb" \
        | sed -n 's/^ *\(GUID\|Age\): //p' | tac | tr '\n' ' ')
    [ -n "$dll_id" ] && [ "$dll_id" = "$pdb_id" ] || problem "$arch: the DLL names $dll_id, Gorvale.pdb is $pdb_id"
    # The signed files, as shipped, load and answer under Wine.
    answer=$("$@" "$signed/bin/gorvale-check.exe" gorvale-check 2>&1) || problem "$arch: signed gorvale-check failed"
    [ "${answer//$'\r'/}" = "gorvale-check: running" ] || problem "$arch: signed gorvale-check answered '$answer'"
done
[ $status -eq 0 ] && echo "unsigned, signed and refused runs: checksums, signatures, symbols and answers hold"
exit $status
