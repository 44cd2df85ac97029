#!/usr/bin/env bash
# Builds the release: in OUTPUT_DIR (default build/),
#   Gorvale-<version>-windows.zip          x86/ and x64/: the DLL of the MSVC
#       toolchain (clang-cl) with the Gorvale.lib of its link, libGorvale.dll.a,
#       gorvale-check (MinGW-w64), the header, the CMake package, README,
#       changelog, licence, docs/ and examples/;
#   Gorvale-<version>-windows-symbols.zip  x86/ and x64/: the Gorvale.pdb of
#       each shipped DLL;
#   SHA256SUMS                             the checksums of both archives.
# It builds only what ships, in build/package/. Given GORVALE_SIGN_PKCS12 (a
# .p12 or .pfx file) and GORVALE_SIGN_PASSWORD, it signs Gorvale.dll and
# gorvale-check.exe of both architectures (Authenticode, SHA-256) before it
# archives them, with an RFC 3161 time stamp from GORVALE_SIGN_TIMESTAMP_URL
# when that is set. A failed run leaves no archive behind.
#   bash scripts/package.sh [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
out=$(mkdir -p "${1:-build}" && cd "${1:-build}" && pwd)
builds=$PWD/build/package

work=$(mktemp -d)
trap 'rm -rf "$work" "$out"/*.part' EXIT
fail() {
    echo "package.sh: $*" >&2
    exit 1
}

for preset in windows-x86 windows-x64 clang-cl-x86 clang-cl-x64; do
    cmake --preset "$preset" -B "$builds/$preset" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$builds/$preset" -j"$(nproc)" >/dev/null
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/windows-x86/CMakeCache.txt")
release=Gorvale-$version-windows
rm -f "$out/$release.zip" "$out/$release-symbols.zip" "$out/SHA256SUMS"

# MinGW's tree first, then the MSVC toolchain's over it: its DLL and import
# libraries replace MinGW's, gorvale-check stays. The symbols go apart.
for arch in x86 x64; do
    tree=$work/$release/$arch
    cmake --install "$builds/windows-$arch" --prefix "$tree" >/dev/null
    cmake --install "$builds/clang-cl-$arch" --prefix "$tree" >/dev/null
    mkdir -p "$work/symbols/$arch"
    mv "$tree/bin/Gorvale.pdb" "$work/symbols/$arch/"
done

if [ -n "${GORVALE_SIGN_PKCS12:-}" ]; then
    [ -n "${GORVALE_SIGN_PASSWORD+set}" ] || fail "GORVALE_SIGN_PKCS12 is set, GORVALE_SIGN_PASSWORD is not"
    # The password goes to osslsigncode in a file only this user can read,
    # never on a command line that other users can list.
    password_file=$(umask 077 && mktemp "$work/password.XXXXXX")
    printf '%s' "$GORVALE_SIGN_PASSWORD" >"$password_file"
    timestamp=()
    [ -z "${GORVALE_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$GORVALE_SIGN_TIMESTAMP_URL")
    for file in "$work/$release"/{x86,x64}/bin/{Gorvale.dll,gorvale-check.exe}; do
        osslsigncode sign -pkcs12 "$GORVALE_SIGN_PKCS12" -readpass "$password_file" -h sha256 \
            "${timestamp[@]}" -in "$file" -out "$file.signed" >"$work/sign.log" 2>&1 \
            || fail "cannot sign ${file#"$work/"} with $GORVALE_SIGN_PKCS12: a wrong password, or a certificate" \
                    "that cannot sign code; osslsigncode said: $(tr '\n' ' ' <"$work/sign.log")"
        mv "$file.signed" "$file"
    done
    rm -f "$password_file"
    echo "Signed Gorvale.dll and gorvale-check.exe of both architectures with $GORVALE_SIGN_PKCS12"
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
archive "$work" "$release" "$release.zip"
archive "$work/symbols" . "$release-symbols.zip"
(cd "$out" && sha256sum "$release.zip" "$release-symbols.zip" >SHA256SUMS)
echo "Wrote $out/$release.zip, $out/$release-symbols.zip and $out/SHA256SUMS"
