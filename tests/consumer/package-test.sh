#!/usr/bin/env bash
# package-test.sh CHECK WORK_DIR WINE_RUN...: one check of the release, each a
# ctest entry of its own. "build" packages the release into folders of
# WORK_DIR as a user would, from WORK_DIR with relative paths: unsigned;
# signed twice with a throwaway code-signing certificate and a fixed signing
# time (SOURCE_DATE_EPOCH); signed with a time stamp from an RFC 3161
# authority on loopback that it starts itself; and unpacks the archives. The
# other checks read what it made, each in a folder of its own under WORK_DIR:
#   refuses-wrong-password, signed-without-time-stamp, refuses-missing-file,
#   refuses-server-certificate: packaging refused, before anything is built;
#   archives: the checksums, the archives' folders, repeatable signed runs;
#   same-release: what the release job checks before it uploads;
#   signatures: signatures and time stamps, and a DLL changed after signing;
#   symbols: each PDB is its shipped DLL's;
#   signed-programs: the signed files load and answer under Wine;
#   readme-installers: the README's installer command, run as written;
#   kit-workflow-lines: the test kit as the CI workflow runs it;
#   kit-code-page-932, kit-blind-dll, kit-usage: more of the kit.
set -euo pipefail
check=$1 work=$2
shift 2
wine_run=("$@")
source=$(cd "$(dirname "$0")/../.." && pwd)
status=0
problem() {
    echo "$check: $*"
    status=1
}
# Where this host runs no 32-bit x86 code, the 32-bit programs' checks are
# left out and named; the check then ends as skipped, not as passed.
x86=$(bash "$source/scripts/x86-host.sh")
not_run=() why=
runs_here() {  # ARCH WHAT: whether ARCH's programs run here; notes WHAT if not
    [ "$1" = x64 ] || [ "${x86%%:*}" != none ] || { not_run+=("$2"); return 1; }
}
background=()
trap 'kill "${background[@]}" 2>/dev/null || true' EXIT
finish() {  # SAID: what held, when all did
    [ $status -eq 0 ] && echo "$check: $1"
    if [ $status -eq 0 ] && [ ${#not_run[@]} -gt 0 ]; then
        printf -v said '%s; ' "${not_run[@]}"
        echo "$check: skipped, as this host cannot start them (${why:-$x86}): ${said%; }"
        exit 77
    fi
    exit $status
}
package() {  # RUN [VARIABLE=VALUE...]: packages into RUN, output in RUN.log
    local run=$1
    shift
    env "$@" bash "$source/scripts/package.sh" "$run" >"$run.log" 2>&1
}

if [ "$check" = build ]; then
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"
    certificate() {  # NAME EXTENDED_KEY_USAGE: NAME.key and NAME.pem
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
            -subj "/CN=Gorvale test $1" -addext "extendedKeyUsage=$2" 2>/dev/null
    }
    echo "throwaway-$RANDOM$RANDOM" >password
    password=$(cat password)
    certificate signer codeSigning
    certificate server serverAuth
    for name in signer server; do
        openssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -out "$name.p12" -passout "pass:$password"
    done

    # The time-stamping authority: openssl ts behind a few lines of HTTP, on a
    # port the system picks, for this run only.
    mkdir tsa
    certificate tsa critical,timeStamping
    cat >tsa/tsa.cnf <<CONFIG
[ tsa ]
default_tsa = authority
[ authority ]
serial = $work/tsa/serial
signer_cert = $work/tsa.pem
signer_key = $work/tsa.key
certs = $work/tsa.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
CONFIG
    cat >tsa/server.py <<'SERVER'
import http.server, subprocess, sys
config, port_file = sys.argv[1], sys.argv[2]
class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *arguments):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
open(port_file, "w").write(str(server.server_port))
server.serve_forever()
SERVER
    python3 tsa/server.py tsa/tsa.cnf tsa/port &
    background+=($!)
    for _ in $(seq 100); do [ -s tsa/port ] && break; sleep 0.1; done

    signing=(GORVALE_SIGN_PKCS12=signer.p12 "GORVALE_SIGN_PASSWORD=$password")
    package unsigned || problem "unsigned packaging failed: $(cat unsigned.log)"
    package signed "${signing[@]}" GORVALE_SIGN_TIMESTAMP_URL=none SOURCE_DATE_EPOCH=1765000000 \
        || problem "signed packaging failed: $(cat signed.log)"
    package signed-again "${signing[@]}" GORVALE_SIGN_TIMESTAMP_URL=none SOURCE_DATE_EPOCH=1765000000 \
        || problem "signing again failed: $(cat signed-again.log)"
    package time-stamped "${signing[@]}" "GORVALE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat tsa/port)" \
        || problem "time-stamped packaging failed: $(cat time-stamped.log)"
    for run in unsigned signed time-stamped; do
        for archive in "$run"/*.zip; do
            [[ $archive == *-tests.zip ]] || unzip -q -d "$run/files" "$archive"
        done
    done
    unzip -q -d kit signed/Gorvale-*-windows-tests.zip
    finish "unsigned, signed twice and time-stamped: packaged"
fi

# Each check in a fresh folder of its own; what the build made lies in ..
rm -rf "${work:?}/$check"
mkdir -p "$work/$check"
cd "$work/$check"
password=$(cat ../password)
signing=(GORVALE_SIGN_PKCS12=../signer.p12 "GORVALE_SIGN_PASSWORD=$password")
archive_top=$(echo ../signed/files/Gorvale-*-windows)
kit_top=$(echo ../kit/Gorvale-*-windows-tests)

case $check in
refuses-wrong-password | signed-without-time-stamp | refuses-missing-file | refuses-server-certificate)
    # Refused before anything is built: with cmake off the PATH, a run that
    # got as far as building would fail for that instead.
    mkdir no-cmake
    for program in $(dirname "$(command -v cmake)")/*; do ln -s "$program" no-cmake/; done
    rm no-cmake/cmake
    case $check in
    refuses-wrong-password)
        message="$(realpath ../signer.p12) does not open with GORVALE_SIGN_PASSWORD"
        settings=(GORVALE_SIGN_PKCS12=../signer.p12 "GORVALE_SIGN_PASSWORD=not-$password" GORVALE_SIGN_TIMESTAMP_URL=none) ;;
    signed-without-time-stamp)
        message="GORVALE_SIGN_TIMESTAMP_URL is not set"
        settings=("${signing[@]}") ;;
    refuses-missing-file)
        message="GORVALE_SIGN_PKCS12: $(realpath -m missing.p12) is no file that can be read"
        settings=(GORVALE_SIGN_PKCS12=missing.p12 "GORVALE_SIGN_PASSWORD=$password" GORVALE_SIGN_TIMESTAMP_URL=none) ;;
    refuses-server-certificate)
        message="the certificate in $(realpath ../server.p12) cannot sign code"
        settings=(GORVALE_SIGN_PKCS12=../server.p12 "GORVALE_SIGN_PASSWORD=$password" GORVALE_SIGN_TIMESTAMP_URL=none) ;;
    esac
    if PATH=$PWD/no-cmake package run "${settings[@]}"; then
        problem "packaging succeeded"
    fi
    grep -qF "package.sh: $message" run.log || problem "no clear message, wanted '$message': $(cat run.log)"
    [ -z "$(ls -A run 2>/dev/null)" ] || problem "it left files behind: $(ls run)"
    if grep -F -e "$password" run.log; then
        problem "the password shows in the output"
    fi
    finish "refused, saying '$message', leaving nothing" ;;

archives)
    grep -q "^Not signed" ../unsigned.log || problem "the unsigned run does not say that it signed nothing"
    for run in unsigned signed time-stamped; do
        (cd "../$run" && sha256sum --check --quiet SHA256SUMS) || problem "$run: the checksums do not hold"
        grep -c zip "../$run/SHA256SUMS" | grep -qx 3 || problem "$run: SHA256SUMS does not list the three archives"
        for archive in ../"$run"/*.zip; do
            # One top folder, named like the archive.
            top=$(unzip -Z1 "$archive" | cut -d/ -f1 | sort -u)
            [ "$top" = "$(basename "$archive" .zip)" ] || problem "$archive unpacks into $top"
        done
    done
    cmp -s ../signed/SHA256SUMS ../signed-again/SHA256SUMS || problem "two signed runs with one SOURCE_DATE_EPOCH differ"
    for arch in x86 x64 arm64; do
        if [ ! -f "$archive_top/$arch/README.md" ]; then
            problem "$arch has no README.md"
        elif grep -q "scripts/" "$archive_top/$arch/README.md"; then
            problem "$arch/README.md speaks of scripts/, which the archive lacks"
        fi
    done
    finish "checksums hold, one top folder an archive, a README in each architecture, signed runs repeat" ;;

same-release)
    # What the release job checks before it uploads: each signed run is the
    # unsigned one, signatures apart, and one byte changed in a program is caught.
    mkdir tested
    cp ../unsigned/Gorvale-*-windows.zip ../unsigned/Gorvale-*-windows-symbols.zip tested/
    for run in signed time-stamped; do
        bash "$source/scripts/same-release.sh" tested "../$run" >same.log || problem "$run: $(cat same.log)"
    done
    mkdir -p changed/files
    cp ../signed/Gorvale-*.zip changed/
    (cd changed/files && unzip -q ../Gorvale-*-windows.zip && printf '\x90' \
        | dd of="$(echo Gorvale-*-windows/x64/bin/gorvale-check.exe)" bs=1 seek=1100 conv=notrunc 2>/dev/null \
        && zip -q ../Gorvale-*-windows.zip Gorvale-*-windows/x64/bin/gorvale-check.exe)
    if bash "$source/scripts/same-release.sh" tested changed >same.log \
        || ! grep -q "x64/bin/gorvale-check.exe is not the file that was tested" same.log; then
        problem "a release with one byte changed passed for the one tested: $(cat same.log)"
    fi
    finish "signed runs are the tested release; one byte changed is caught" ;;

signatures)
    for arch in x86 x64 arm64; do
        stamped=$(echo ../time-stamped/files/Gorvale-*-windows/$arch)
        files=(bin/Gorvale.dll bin/gorvale-check.exe)
        [ $arch != arm64 ] || files=(bin/Gorvale.dll)  # no MinGW toolchain builds gorvale-check for ARM64
        for file in "${files[@]}"; do
            osslsigncode verify -CAfile ../signer.pem -in "$archive_top/$arch/$file" >/dev/null 2>&1 \
                || problem "$arch/$file: the signature does not verify"
            osslsigncode verify -CAfile ../signer.pem -TSA-CAfile ../tsa.pem -in "$stamped/$file" 2>&1 \
                | grep -q "Timestamp Server Signature verification: ok" || problem "$arch/$file: no valid time stamp"
        done
        # One byte of code changed after signing.
        cp "$archive_top/$arch/bin/Gorvale.dll" tampered.dll
        printf '\x90' | dd of=tampered.dll bs=1 seek=1100 conv=notrunc 2>/dev/null
        if osslsigncode verify -CAfile ../signer.pem -in tampered.dll >/dev/null 2>&1; then
            problem "$arch: a DLL changed after signing still verifies"
        fi
    done
    finish "signatures and time stamps verify; a DLL changed after signing does not" ;;

symbols)
    # The symbols are the shipped DLL's: the same GUID and age.
    for arch in x86 x64 arm64; do
        dll_id=$(llvm-readobj-19 --coff-debug-directory "$archive_top/$arch/bin/Gorvale.dll" \
            | sed -n 's/^ *PDB\(GUID\|Age\): //p' | tr '\n' ' ')
        pdb_id=$(llvm-pdbutil-19 dump --summary ../signed/files/Gorvale-*-windows-symbols/$arch/Gorvale.pdb \
            | sed -n 's/^ *\(GUID\|Age\): //p' | tac | tr '\n' ' ')
        [ -n "$dll_id" ] && [ "$dll_id" = "$pdb_id" ] || problem "$arch: the DLL names $dll_id, Gorvale.pdb is $pdb_id"
    done
    finish "each Gorvale.pdb is its shipped DLL's" ;;

signed-programs)
    # The signed files, as shipped, load and answer under Wine.
    for arch in x86 x64; do
        runs_here $arch "the signed x86 gorvale-check" || continue
        # Its answer on standard output; Wine's own complaints go to standard error.
        answer=$("${wine_run[@]}" "$archive_top/$arch/bin/gorvale-check.exe" gorvale-check 2>check.err) \
            || problem "$arch: signed gorvale-check failed: $(cat check.err)"
        [ "${answer//$'\r'/}" = "gorvale-check: running" ] \
            || problem "$arch: signed gorvale-check answered '$answer', wanted 'gorvale-check: running' ($(cat check.err))"
    done
    finish "the signed gorvale-check of each architecture answers" ;;

readme-installers)
    # The installer command of each README, as written: from the top folder of
    # the unpacked archive, and from a tree laid out as the repository is. The
    # installer must install while no viewer.exe runs, refuse while one runs,
    # and refuse when its DLL cannot load (the x64 one).
    command_of() {  # README: its makensis command line
        sed -n 's/^ *\(makensis -NOCD .*\)$/\1/p' "$1" | head -1
    }
    installer_answers() {  # FOLDER EXPECTED_STATUS WHAT
        local actual=0
        (cd "$1" && "${wine_run[@]}" viewer-setup.exe /S "/D=C:\\gorvale-package-test\\$RANDOM") >/dev/null 2>installer.err \
            || actual=$?
        # 77: wine-run.sh found that this host cannot start it, and said why.
        if [ "$actual" = 77 ]; then
            not_run+=("$3")
            why=$(sed -n 's/^wine-run.sh: skipped [^:]*: //p' installer.err)
            return
        fi
        [ "$actual" = "$2" ] || problem "$3: the installer exited with $actual, not $2: $(cat installer.err)"
    }
    # A viewer.exe that runs until a viewer-done.exe does, and a viewer-done.exe
    # that runs until viewer.exe is gone: copies of gorvale-check. The archive's
    # tree is a copy of its own, as the installer is made inside it.
    cp -r "$archive_top" archive
    tool=archive/x86/bin
    mkdir -p viewer repository/build/windows-x86/bin repository/files archive/files
    cp "$tool/gorvale-check.exe" viewer/viewer.exe
    cp "$tool/gorvale-check.exe" viewer/viewer-done.exe
    cp "$tool/Gorvale.dll" viewer/
    ln -s "$source/examples" repository/examples
    cp "$tool/Gorvale.dll" repository/build/windows-x86/bin/
    echo "installed" | tee repository/files/viewer.txt >archive/files/viewer.txt
    for tree in "archive:archive/x86/README.md" "repository:$source/README.md"; do
        runs_here x86 "the installer that ${tree#*:} makes" || continue
        folder=${tree%%:*} readme=${tree#*:}
        command=$(command_of "$readme")
        [ -n "$command" ] || { problem "$readme has no makensis command"; continue; }
        (cd "$folder" && eval "$command" >makensis.log 2>&1) || problem "$readme: '$command' failed: $(cat "$folder/makensis.log")"
        installer_answers "$folder" 0 "$readme, no viewer running"
        "${wine_run[@]}" viewer/viewer.exe --wait viewer-done --timeout 120 >/dev/null 2>&1 &
        background+=($!)
        "${wine_run[@]}" "$tool/gorvale-check.exe" --wait viewer.exe --timeout 60 >/dev/null 2>&1 \
            || problem "viewer.exe did not start"
        installer_answers "$folder" 3 "$readme, viewer running"
        "${wine_run[@]}" viewer/viewer-done.exe --wait-gone viewer.exe --timeout 60 >/dev/null 2>&1 \
            || problem "viewer.exe did not end"
    done
    (cd archive && eval "$(command_of x86/README.md | sed 's|x86/bin/Gorvale.dll|x64/bin/Gorvale.dll|')" >/dev/null 2>&1) \
        || problem "makensis refused the x64 DLL"
    ! runs_here x86 "the installer with the x64 DLL" || installer_answers archive 4 "the x64 DLL packed by mistake"
    finish "each README's installer installs, refuses while viewer.exe runs, and refuses the x64 DLL" ;;

kit-*)
    # The test kit, unpacked and run as a user runs it, through Wine's cmd.
    kit_run() {  # LOG LOCALE ARGUMENT...: the kit's status
        local log=$1 locale=$2
        shift 2
        (cd "$kit_top" && LC_ALL=$locale "${wine_run[@]}" cmd /c run-tests.cmd "$@") 2>&1 | tr -d '\r' >"$log"
        return "${PIPESTATUS[0]}"
    }
    # The kit's closing line: Wine's own lines on standard error may come after it.
    closing_line() { grep -E '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$1" | tail -1; }
    suites_that_passed() {  # LOG: "[ARCH DLL] SUITE" of each suite with no failure and not skipped whole
        grep -E '^\[x(86|64) (msvc|mingw)\] +[a-z0-9-]+ +[1-9][0-9]* passed, 0 failed' "$1" | sed 's/ \{1,\}[0-9].*//' | sort
    }
    case $check in
    kit-workflow-lines)
        # The CI workflow's own kit command lines, each as a Windows step of it
        # runs it: in cmd, from a fresh workspace with no results folder, with
        # the runner's variables naming folders of this test's own, and the
        # kit's MSVC-toolchain DLLs where the Visual Studio builds would be.
        # The first, over the kit's own DLLs, runs every suite over both DLLs
        # of both architectures under code page 1252. The ARM64 lines, for the
        # ARM64 runner, must be refused here, saying so: Wine's x86-64 build
        # cannot load an ARM64 DLL.
        windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
        mkdir workspace
        for arch in x86 x64 arm64; do
            for config in Release Debug; do
                mkdir -p "workspace/dlls/msvc-$arch-$config"
                cp "$kit_top/$arch/msvc/Gorvale.dll" "$kit_top/$arch/msvc/Gorvale.pdb" "workspace/dlls/msvc-$arch-$config/"
            done
        done
        grep -o 'call "%GORVALE_KIT%\\run-tests.cmd".*' "$source/.github/workflows/ci.yml" >workflow-kit-lines
        [ "$(wc -l <workflow-kit-lines)" = 7 ] || problem "the workflow runs the kit $(wc -l <workflow-kit-lines) times, not 7"
        step=0
        while read -r line; do
            step=$((step + 1))
            line=${line% || set failed=1}
            [[ $line != *msvc-x86* ]] || runs_here x86 "the workflow's kit line $step" || continue
            printf '@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n' "$line" >"workspace/step-$step.cmd"
            ran=0
            (cd workspace && GITHUB_WORKSPACE=$(windows_path .) GORVALE_KIT=$(windows_path "../$kit_top") LC_ALL=C.UTF-8 \
                "${wine_run[@]}" cmd /c "step-$step.cmd" </dev/null >"../workflow-kit-$step.out" 2>&1) || ran=$?
            tr -d '\r' <"workflow-kit-$step.out" >"workflow-kit-$step.log"
            [ $step != 1 ] || cp workflow-kit-1.log kit.log
            # Wine 8's cmd hands a called batch file's status back as 1, so
            # only "not 0" is certain here; the workflow asks no more of it.
            if [[ $line == *msvc-arm64* ]]; then
                [ $ran != 0 ] && grep -q 'Gorvale.dll is no DLL that this Windows can load' "workflow-kit-$step.log" \
                    || problem "the workflow's ARM64 kit line $line was not refused ($ran): $(cat "workflow-kit-$step.log")"
                continue
            fi
            out=$(sed -n 's/.*--out "%GITHUB_WORKSPACE%\\\(.*\)"/\1/p' <<<"$line" | cut -d'"' -f1 | tr '\\' /)
            [ $ran = 0 ] && [ -d "workspace/$out" ] \
                || problem "the workflow's kit line $line failed ($ran): $(cat "workflow-kit-$step.log")"
            grep -Eqx '[0-9]+ passed, 0 failed, [0-9]+ skipped' <(closing_line "workflow-kit-$step.log") \
                || problem "the workflow's kit line $line ended: $(closing_line "workflow-kit-$step.log")"
        done <workflow-kit-lines
        kit_archs=x64
        if runs_here x86 "the kit's x86 suites"; then
            kit_archs="x86 x64"
            suites_that_passed kit.log | grep -q "msvc-caller-stdcall" || problem "the kit did not pass msvc-caller-stdcall"
        else
            # Counted as skipped, each with the reason.
            [ "$(grep -cE '^\[x86 (msvc|mingw)\] +[a-z0-9-]+ +0 passed, 0 failed, 1 skipped: this Windows runs no x86' kit.log)" = 16 ] \
                || problem "the kit did not count each x86 suite as skipped: $(cat kit.log)"
        fi
        for arch in $kit_archs; do
            for dll in msvc mingw; do
                for suite in real-dll-tests utf-8 load-unload msvc-caller; do
                    suites_that_passed kit.log | grep -qx "\[$arch $dll\] $suite" || problem "the kit did not pass $suite over $arch $dll"
                done
            done
            suites_that_passed kit.log | grep -qx "\[$arch msvc\] guard-caller" || problem "the kit did not pass $arch's guard-caller"
        done
        finish "the workflow's five x86 and x64 kit lines pass, and its two ARM64 ones are refused; $(closing_line kit.log)" ;;
    kit-code-page-932)
        # Its double-byte names are checked against helpers of both bitnesses.
        if runs_here x86 "the kit's code page 932 suite"; then
            kit_run kit-932.log ja_JP.UTF-8 --suite code-page-932 || problem "the kit failed under code page 932: $(cat kit-932.log)"
            [ "$(suites_that_passed kit-932.log | grep -c code-page-932)" = 4 ] || problem "the code page 932 suite: $(cat kit-932.log)"
        fi
        finish "the code page 932 suite passes over the four DLLs" ;;
    kit-blind-dll)
        # A few suites over a DLL that never finds anything, which must fail.
        blind_arch=x64
        runs_here x86 "the kit over the x86 blind DLL" && blind_arch=x86
        if kit_run kit-blind.log C.UTF-8 --dll "$blind_arch\\mingw\\stand-ins\\blind\\Gorvale.dll" --suite load-unload --suite msvc-caller; then
            problem "the kit passed a DLL that never finds anything: $(cat kit-blind.log)"
        fi
        grep -Eq '^[0-9]+ passed, [1-9][0-9]* failed' <(closing_line kit-blind.log) \
            || problem "over a blind DLL the kit ended: $(closing_line kit-blind.log)"
        # The caller names the wrong answer.
        grep -Eq 'msvc-caller .* failed, 0 skipped: exit status [0-9]+: FindProcess\("MSVC-CALLER"\) returned 0, expected 1' kit-blind.log \
            || problem "the kit's msvc-caller did not name its wrong answer: $(cat kit-blind.log)"
        finish "the kit fails a DLL that never finds anything, naming the wrong answer" ;;
    kit-usage)
        # A results folder that cannot be made: exit 2, the folder named, nothing run.
        touch a-file
        ran=0
        kit_run kit-out.log C.UTF-8 --out "$(realpath a-file | sed 's|^|Z:|; s|/|\\|g')\\results" || ran=$?
        [ $ran = 2 ] && grep -qF 'cannot create the results folder' kit-out.log && grep -qF 'a-file\results' kit-out.log \
            && ! grep -q passed kit-out.log || problem "a results folder under a file: exit $ran, $(cat kit-out.log)"
        # A suite it does not know: exit 2, the name and the known suites said.
        ran=0
        kit_run kit-suite.log C.UTF-8 --suite real-dll-test || ran=$?
        [ $ran = 2 ] && grep -qF 'there is no suite real-dll-test; the suites are real-dll-tests, code-page-932' kit-suite.log \
            && ! grep -q passed kit-suite.log || problem "an unknown suite: exit $ran, $(cat kit-suite.log)"
        # The benchmark takes one architecture.
        ran=0
        (cd "$kit_top" && "${wine_run[@]}" cmd /c run-bench.cmd x86 x64) >bench.log 2>&1 || ran=$?
        [ $ran = 2 ] && grep -qF 'one architecture at most' bench.log || problem "run-bench.cmd x86 x64: exit $ran, $(cat bench.log)"
        finish "the kit refuses a results folder under a file, an unknown suite, and two architectures to time" ;;
    esac ;;
*)
    echo "package-test.sh: there is no check $check" >&2
    exit 2 ;;
esac
