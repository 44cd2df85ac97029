#!/usr/bin/env bash
# Builds the release: in OUTPUT_DIR (default build/),
#   Gorvale-<version>-windows.zip          x86/ and x64/: the DLL of the MSVC
#       toolchain (clang-cl) with the Gorvale.lib of its link, libGorvale.dll.a,
#       gorvale-check (MinGW-w64), the header, the CMake package, README,
#       changelog, licence, docs/ and examples/; arm64/ the same, without
#       what MinGW-w64 makes (no MinGW toolchain builds for ARM64 here);
#   Gorvale-<version>-windows-symbols.zip  x86/, x64/ and arm64/ in a folder of
#       that name: the Gorvale.pdb of each shipped DLL;
#   Gorvale-<version>-windows-tests.zip    the test kit: run-tests.cmd and the
#       test programs beside each DLL of each architecture, x86/msvc (the
#       shipped DLL), x86/mingw, x64/msvc, x64/mingw, and arm64/msvc with the
#       runtime-free callers;
#   SHA256SUMS                             the checksums of the archives.
# What ships it builds alone (-DBUILD_TESTING=OFF), in build/package/; the
# kit's programs come from test builds beside it. Given GORVALE_SIGN_PKCS12 (a
# .p12 or .pfx file) and GORVALE_SIGN_PASSWORD, it signs Gorvale.dll and
# gorvale-check.exe of each architecture (Authenticode, SHA-256) before it
# archives them, and verifies each signature, with an RFC 3161 time stamp from
# GORVALE_SIGN_TIMESTAMP_URL. Only GORVALE_SIGN_TIMESTAMP_URL=none signs
# without one, and then, when SOURCE_DATE_EPOCH is set, with that as the
# signing time, so that signed archives repeat too. The certificate is
# checked before anything is built. A failed run leaves no archive behind.
#   bash scripts/package.sh [OUTPUT_DIR]
set -euo pipefail
# Paths given by the caller are the caller's, taken before the cd.
out=$(mkdir -p "${1:-$(dirname "$0")/../build}" && cd "${1:-$(dirname "$0")/../build}" && pwd)
signer=${GORVALE_SIGN_PKCS12:+$(realpath -m -- "$GORVALE_SIGN_PKCS12")}
cd "$(dirname "$0")/.."
bash scripts/setup.sh
builds=$PWD/build/package

work=$(mktemp -d)
trap 'rm -rf "$work" "$out"/*.part' EXIT
fail() {
    echo "package.sh: $*" >&2
    exit 1
}

# The certificate: present, opened by the password, holding a key, and made
# for signing code. What verifies the signatures later: the certificates in
# the file and the system's trusted roots.
if [ -n "$signer" ]; then
    [ -n "${GORVALE_SIGN_PASSWORD+set}" ] || fail "GORVALE_SIGN_PKCS12 is set, GORVALE_SIGN_PASSWORD is not"
    # A signature without a time stamp stops validating when the certificate
    # expires: only on purpose.
    [ -n "${GORVALE_SIGN_TIMESTAMP_URL:-}" ] || fail "GORVALE_SIGN_TIMESTAMP_URL is not set: give an RFC 3161" \
        "authority's address, or none to sign without a time stamp on purpose (such signatures stop validating" \
        "when the certificate expires)"
    [ -f "$signer" ] && [ -r "$signer" ] || fail "GORVALE_SIGN_PKCS12: $signer is no file that can be read"
    # The password goes to openssl and osslsigncode in a file only this user
    # can read, never on a command line that other users can list.
    password_file=$(umask 077 && mktemp "$work/password.XXXXXX")
    printf '%s' "$GORVALE_SIGN_PASSWORD" >"$password_file"
    read_signer() {  # OPENSSL_PKCS12_OPTION...: PKCS#12 files of older tools need -legacy
        openssl pkcs12 -in "$signer" -passin "file:$password_file" "$@" 2>/dev/null \
            || openssl pkcs12 -legacy -in "$signer" -passin "file:$password_file" "$@" 2>/dev/null
    }
    read_signer -nokeys -out "$work/certificates.pem" \
        || fail "$signer does not open with GORVALE_SIGN_PASSWORD: a wrong password, or no PKCS#12 file"
    read_signer -nocerts -nodes | grep -q 'PRIVATE KEY' || fail "$signer holds no private key to sign with"
    usage=$(read_signer -nokeys -clcerts | openssl x509 -noout -ext extendedKeyUsage 2>/dev/null \
                | sed -n '2,$p' | sed 's/^ *//')
    if [ -n "$usage" ] && ! grep -Eq 'Code Signing|Any Extended Key Usage' <<<"$usage"; then
        fail "the certificate in $signer cannot sign code: its extended key usage is only $usage"
    fi
    cat "$work/certificates.pem" >"$work/trusted.pem"
    [ ! -r /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$work/trusted.pem"
fi

build() {  # PRESET FOLDER [CONFIGURE OPTION...]
    local preset=$1 folder=$2
    shift 2
    cmake --preset "$preset" -B "$builds/$folder" "$@" >/dev/null
    cmake --build "$builds/$folder" -j"$(nproc)" >/dev/null
}
for arch in x86 x64; do
    build "windows-$arch" "windows-$arch" -DBUILD_TESTING=OFF
    build "clang-cl-$arch" "clang-cl-$arch" -DBUILD_TESTING=OFF
    build "clang-cl-$arch" "tests-clang-cl-$arch" -DBUILD_TESTING=ON
    build "windows-$arch" "tests-windows-$arch" -DBUILD_TESTING=ON \
        -DGORVALE_MSVC_TOOLCHAIN_BUILD="$builds/tests-clang-cl-$arch"
done
build clang-cl-arm64 clang-cl-arm64 -DBUILD_TESTING=OFF
build clang-cl-arm64 tests-clang-cl-arm64 -DBUILD_TESTING=ON
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/windows-x86/CMakeCache.txt")
release=Gorvale-$version-windows
rm -f "$out/$release"*.zip "$out/SHA256SUMS"

# MinGW's tree first, then the MSVC toolchain's over it: its DLL and import
# libraries replace MinGW's, gorvale-check stays. The symbols go apart, into
# an archive with a top folder of its own. cmake --install leaves a file in
# place whose time is the same to the second, as two quick builds' can be:
# the MSVC toolchain's tree is laid out apart and copied over.
for arch in x86 x64 arm64; do
    tree=$work/$release/$arch
    [ $arch = arm64 ] || cmake --install "$builds/windows-$arch" --prefix "$tree" >/dev/null
    cmake --install "$builds/clang-cl-$arch" --prefix "$work/msvc-toolchain-$arch" >/dev/null
    mkdir -p "$tree"
    cp -r "$work/msvc-toolchain-$arch/." "$tree/"
    mkdir -p "$work/symbols/$release-symbols/$arch"
    mv "$tree/bin/Gorvale.pdb" "$work/symbols/$release-symbols/$arch/"
done

if [ -n "$signer" ]; then
    when=()
    if [ "$GORVALE_SIGN_TIMESTAMP_URL" != none ]; then
        when=(-ts "$GORVALE_SIGN_TIMESTAMP_URL")
    elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        when=(-time "$SOURCE_DATE_EPOCH")
    fi
    for file in "$work/$release"/*/bin/*.{dll,exe}; do
        [ -e "$file" ] || continue  # arm64/ has no gorvale-check.exe
        name=${file#"$work/$release/"}
        osslsigncode sign -pkcs12 "$signer" -readpass "$password_file" -h sha256 "${when[@]}" \
            -in "$file" -out "$file.signed" >"$work/sign.log" 2>&1 \
            || fail "cannot sign $name with $signer; osslsigncode said: $(tr '\n' ' ' <"$work/sign.log")"
        mv "$file.signed" "$file"
        # The time stamp is the authority's to vouch for; the signature is ours.
        osslsigncode verify -CAfile "$work/trusted.pem" -ignore-timestamp -in "$file" >"$work/verify.log" 2>&1 \
            || fail "the signature of $name does not verify, so nothing is packaged: $(grep -iE 'error|fail|unsupported' \
                    "$work/verify.log" | sort -u | tr '\n' ' ')"
    done
    rm -f "$password_file"
    echo "Signed and verified Gorvale.dll and gorvale-check.exe of each architecture with $signer"
else
    echo "Not signed: set GORVALE_SIGN_PKCS12 and GORVALE_SIGN_PASSWORD to sign Gorvale.dll and gorvale-check.exe"
fi

# Archives of files alone, in a fixed order, with a fixed time and no extra
# fields, so that the same files give the same archive. Written beside the
# others, then moved in.
archive() {  # FOLDER ENTRY ARCHIVE
    (cd "$1" && find "$2" -type f | sed 's|^\./||' | LC_ALL=C sort >"$work/entries" \
        && xargs -d '\n' touch -d '2000-01-01 00:00:00 UTC' <"$work/entries" \
        && TZ=UTC zip -q -X -D "$out/$3.part" -@ <"$work/entries")
    mv "$out/$3.part" "$out/$3"
}
# The test kit: the programs of each test build beside its MinGW DLL and beside
# the MSVC toolchain's, which is then the one that ships, as signed.
kit=$work/kit/$release-tests
for arch in x86 x64; do
    mkdir -p "$kit/$arch"
    cp -r "$builds/tests-windows-$arch/bin" "$kit/$arch/mingw"
    cp -r "$builds/tests-windows-$arch/bin-msvc-toolchain" "$kit/$arch/msvc"
    cp "$work/$release/$arch/bin/Gorvale.dll" "$work/symbols/$release-symbols/$arch/Gorvale.pdb" "$kit/$arch/msvc/"
    rm "$kit/$arch"/*/kit-runner.exe
done
# ARM64's: the runtime-free callers beside the shipped DLL.
mkdir -p "$kit/arm64/msvc"
cp "$builds"/tests-clang-cl-arm64/bin/{msvc-caller,guard-caller,contract-caller}.exe "$work/$release/arm64/bin/Gorvale.dll" \
    "$work/symbols/$release-symbols/arm64/Gorvale.pdb" "$kit/arm64/msvc/"
cp tests/kit/run-tests.cmd tests/kit/run-bench.cmd tests/kit/README.txt "$builds/tests-windows-x86/bin/kit-runner.exe" "$kit/"
cp "$builds/tests-windows-x64/bin/kit-runner.exe" "$kit/kit-runner-x64.exe"

archive "$work" "$release" "$release.zip"
archive "$work/symbols" "$release-symbols" "$release-symbols.zip"
archive "$work/kit" "$release-tests" "$release-tests.zip"
(cd "$out" && sha256sum "$release.zip" "$release-symbols.zip" "$release-tests.zip" >SHA256SUMS)
echo "Wrote $out/$release.zip, $out/$release-symbols.zip, $out/$release-tests.zip and $out/SHA256SUMS"
