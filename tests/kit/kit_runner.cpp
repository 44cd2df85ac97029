// The test kit's runner. It runs every suite of the kit natively, over each
// DLL the kit holds (the MSVC toolchain's, which ships, and MinGW's), or over
// one DLL given with --dll, for each architecture this Windows can run. Each
// suite leaves its GoogleTest XML and its output in the output folder; the run
// ends with "N passed, N failed, N skipped" and exits 0 only when nothing
// failed. A suite whose program cannot start or crashes counts as failed.
//   kit-runner [--arch x86|x64|arm64] [--dll PATH] [--suite NAME]... [--out DIR]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "Usage: run-tests.cmd [--arch x86|x64|arm64] [--dll PATH] [--suite NAME]... [--out DIR]\n"
    "  --arch ARCH     only this architecture (default: every one this Windows runs)\n"
    "  --dll PATH      the suites over this Gorvale.dll instead of the kit's own\n"
    "  --suite NAME    only this suite (%s); may be given again\n"
    "  --out DIR       where the results go (default: results beside this kit)\n";

const wchar_t* const Suites[] = {L"real-dll-tests", L"code-page-932", L"utf-8",        L"load-unload",
                                 L"msvc-caller",    L"msvc-caller-stdcall", L"guard-caller", L"cet-strict",
                                 L"contract-caller"};

// Whether the kit holds suite for arch. No MinGW toolchain builds for ARM64
// here, so ARM64 has only the runtime-free callers, and the contract caller,
// which holds it to what the GoogleTest suites hold the others to, is its own.
bool Holds(const std::wstring& arch, const std::wstring& suite)
{
    bool runtimeFree = suite == L"msvc-caller" || suite == L"guard-caller" || suite == L"contract-caller";
    return arch == L"arm64" ? runtimeFree : suite != L"contract-caller";
}

// The longest suite, real-dll-tests, takes under a minute, even under Wine
// with its 32-bit code emulated. A whole run (four DLLs of up to eight suites
// each) stops starting suites once its own limit is up, so that it ends, with
// its closing line, well within a CI job's.
const DWORD SuiteTimeoutMs = 5 * 60 * 1000;
const DWORD RunTimeoutMs = 15 * 60 * 1000;

struct Tally
{
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

struct Options
{
    std::wstring arch;  // empty: every architecture this Windows runs
    std::wstring dll;   // empty: the kit's own DLLs
    std::vector<std::wstring> suites;
    std::wstring out;
};

// The DLL and its programs, in one folder.
struct Target
{
    std::wstring arch;
    std::wstring label;   // "msvc", "mingw" or "given"
    std::wstring folder;  // with a trailing backslash
    std::string notRun;   // why this Windows cannot run it, or empty
};

std::string Narrow(const std::wstring& text)
{
    std::string narrow(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()), NULL, NULL);
    return narrow.c_str();
}

std::wstring KitFolder()
{
    wchar_t path[MAX_PATH];
    std::wstring self(path, GetModuleFileNameW(NULL, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The version Windows runs, whatever this program's manifest says.
DWORD WindowsBuild()
{
    typedef LONG(WINAPI * RtlGetVersionFunction)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return rtlGetVersion && rtlGetVersion(&version) == 0 ? version.dwBuildNumber : 0;
}

// x64 programs run on 64-bit Windows for x64, and on Windows 11 for ARM64,
// which emulates x64.
bool RunsX64()
{
    typedef BOOL(WINAPI * IsWow64Process2Function)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 = reinterpret_cast<IsWow64Process2Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
    USHORT process = 0, native = 0;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native))
        return native == IMAGE_FILE_MACHINE_AMD64 || (native == 0xAA64 && WindowsBuild() >= 22000);
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// How Wine's host runs 32-bit x86 code: "native", "emulated", "none", or
// empty where no scripts/wine-run.sh started the kit.
std::wstring WineHostRunsX86()
{
    wchar_t host[16];
    DWORD length = GetEnvironmentVariableW(L"GORVALE_X86_HOST", host, 16);
    return length < 16 ? std::wstring(host, length) : L"";
}

// x86 programs run everywhere but on a 64-bit Windows without WoW64 for x86,
// or under Wine on a host that runs no 32-bit x86 code, which Wine cannot tell
// and scripts/wine-run.sh says in GORVALE_X86_HOST.
bool RunsX86()
{
    if (sizeof(void*) == 4)
        return true;
    if (WineHostRunsX86() == L"none")
        return false;
    typedef HRESULT(WINAPI * IsWow64GuestMachineSupportedFunction)(USHORT, BOOL*);
    auto isSupported = reinterpret_cast<IsWow64GuestMachineSupportedFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64GuestMachineSupported")));
    BOOL supported = TRUE;
    return !isSupported || FAILED(isSupported(IMAGE_FILE_MACHINE_I386, &supported)) || supported;
}

// ARM64 programs run on Windows for ARM64 alone.
bool RunsArm64()
{
    typedef BOOL(WINAPI * IsWow64Process2Function)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 = reinterpret_cast<IsWow64Process2Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
    USHORT process = 0, native = 0;
    return isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native) && native == 0xAA64;
}

// Whether this Windows runs programs of arch: x86, x64 or arm64.
bool RunsProgramsOf(const std::wstring& arch)
{
    return arch == L"arm64" ? RunsArm64() : arch == L"x64" ? RunsX64() : RunsX86();
}

// "x86", "x64" or "arm64" from a PE file's header, or empty.
std::wstring ArchitectureOf(const std::wstring& file)
{
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return L"";
    IMAGE_DOS_HEADER dos = {};
    IMAGE_FILE_HEADER header = {};
    DWORD signature = 0, read = 0;
    bool ok = ReadFile(handle, &dos, sizeof dos, &read, NULL) && read == sizeof dos
           && SetFilePointer(handle, dos.e_lfanew, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER
           && ReadFile(handle, &signature, sizeof signature, &read, NULL) && signature == IMAGE_NT_SIGNATURE
           && ReadFile(handle, &header, sizeof header, &read, NULL) && read == sizeof header;
    CloseHandle(handle);
    if (!ok)
        return L"";
    return header.Machine == IMAGE_FILE_MACHINE_I386    ? L"x86"
         : header.Machine == IMAGE_FILE_MACHINE_AMD64 ? L"x64"
         : header.Machine == 0xAA64                   ? L"arm64"
                                                      : L"";
}

// The folder (with a trailing backslash) and every one above it that is missing.
bool CreateFolderTree(const std::wstring& folder)
{
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
        CreateDirectoryW(folder.substr(0, at).c_str(), NULL);
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyFolder(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), NULL);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do
    {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyFolder(from + name + L"\\", to + name + L"\\") && ok;
        else
            ok = CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

// Whether the whole text was written.
bool WriteFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL) && written == text.size();
    return CloseHandle(file) && whole;
}

std::string ReadFile(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::string XmlEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return escaped;
}

// The XML of a suite that is one check, in GoogleTest's form.
bool WriteOneCaseXml(const std::wstring& path, const std::string& name, const char* failure, const char* skipped)
{
    std::string testcase = "<testcase name=\"" + name + "\" classname=\"kit\" status=\"run\" result=\""
                         + (skipped ? "skipped" : "completed") + "\">";
    if (failure)
        testcase += "<failure message=\"" + XmlEscaped(failure) + "\"/>";
    if (skipped)
        testcase += "<skipped message=\"" + XmlEscaped(skipped) + "\"/>";
    std::string counts = std::string(" tests=\"1\" failures=\"") + (failure ? "1" : "0") + "\" skipped=\""
                       + (skipped ? "1" : "0") + "\"";
    return WriteFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + counts + " name=\"" + name
                        + "\">\n<testsuite name=\"" + name + "\"" + counts + ">\n" + testcase
                        + "</testcase>\n</testsuite>\n</testsuites>\n");
}

// Each <testcase> of a GoogleTest XML: failed when it holds a <failure>,
// skipped when not run.
Tally TallyOfXml(const std::string& xml)
{
    Tally tally;
    for (size_t at = xml.find("<testcase "); at != std::string::npos; at = xml.find("<testcase ", at + 1))
    {
        size_t tagEnd = xml.find('>', at);
        std::string tag = xml.substr(at, tagEnd - at);
        size_t end = tag.back() == '/' ? tagEnd : xml.find("</testcase>", at);
        std::string body = xml.substr(at, end - at);
        if (body.find("<failure") != std::string::npos)
            ++tally.failed;
        else if (tag.find("result=\"skipped\"") != std::string::npos || tag.find("status=\"notrun\"") != std::string::npos)
            ++tally.skipped;
        else
            ++tally.passed;
    }
    return tally;
}

// Starts a program with its output going to a log; returns how it ended.
struct Run
{
    bool started = false;
    bool finished = false;
    DWORD status = 0;
    DWORD error = 0;
};

Run RunProgram(const std::wstring& commandLine, const std::wstring& log, DWORD timeoutMs,
               STARTUPINFOEXW* extended = nullptr, bool (*beforeResume)(HANDLE, std::string&) = nullptr,
               std::string* refusal = nullptr)
{
    Run run;
    // The program and all it starts live in a job that is killed when closed:
    // nothing of a suite outlives it, not even after a timeout.
    HANDLE job = CreateJobObjectW(NULL, NULL);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
    {
        run.error = GetLastError();
        if (job)
            CloseHandle(job);
        return run;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE output = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, NULL);
    STARTUPINFOEXW startup = {};
    if (extended)
        startup = *extended;
    startup.StartupInfo.cb = extended ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    DWORD flags = CREATE_SUSPENDED | (extended ? EXTENDED_STARTUPINFO_PRESENT : 0);
    // The results folder as the current one: it holds no DLL that the
    // loader, which looks there too, could take for the one under test.
    std::wstring current = log.substr(0, log.find_last_of(L'\\') + 1);
    run.started = CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, flags, NULL, current.c_str(),
                                 &startup.StartupInfo, &process);
    run.error = GetLastError();
    CloseHandle(output);
    if (run.started && !AssignProcessToJobObject(job, process.hProcess))
    {
        run.error = GetLastError();
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        run.started = false;
    }
    if (!run.started)
    {
        CloseHandle(job);
        return run;
    }
    if (beforeResume && !beforeResume(process.hProcess, *refusal))
    {
        TerminateProcess(process.hProcess, 1);
        run.started = false;
    }
    else
    {
        ResumeThread(process.hThread);
        if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
            run.finished = GetExitCodeProcess(process.hProcess, &run.status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return run;
}

// Strict CET shadow stacks, as PROCESS_CREATION_MITIGATION_POLICY2_CET_USER_
// SHADOW_STACKS_STRICT_MODE asks; the process must really have them.
const DWORD64 CetShadowStacksStrictMode = 3ull << 28;
const int ProcessUserShadowStackPolicy = 15;
const DWORD ShadowStackEnabled = 0x1, ShadowStackStrictMode = 0x10;

bool HasStrictShadowStacks(HANDLE process, std::string& refusal)
{
    typedef BOOL(WINAPI * GetProcessMitigationPolicyFunction)(HANDLE, int, PVOID, SIZE_T);
    auto getPolicy = reinterpret_cast<GetProcessMitigationPolicyFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessMitigationPolicy")));
    DWORD flags = 0;
    if (!getPolicy || !getPolicy(process, ProcessUserShadowStackPolicy, &flags, sizeof flags)
        || (flags & (ShadowStackEnabled | ShadowStackStrictMode)) != (ShadowStackEnabled | ShadowStackStrictMode))
    {
        refusal = "this Windows did not give the process strict CET shadow stacks (a processor without CET, "
                  "a Windows without them, or not Windows)";
        return false;
    }
    return true;
}

class Runner
{
public:
    Runner(const Options& options) : options_(options) {}

    int Run();

private:
    bool Wanted(const wchar_t* suite) const
    {
        if (options_.suites.empty())
            return true;
        for (const std::wstring& wanted : options_.suites)
            if (wanted == suite)
                return true;
        return false;
    }

    // A wanted suite that this Windows cannot run counts as skipped; one that
    // the run's time no longer allows, as failed.
    bool Runs(const Target& target, const wchar_t* suite)
    {
        if (!Wanted(suite))
            return false;
        if (!Holds(target.arch, suite))
        {
            // Said only where asked for by name.
            if (!options_.suites.empty())
                Skip(target, suite, target.arch == L"arm64" ? "it is built for x86 and x64 only" : "it is built for ARM64 only");
            return false;
        }
        if (!target.notRun.empty())
        {
            Skip(target, suite, target.notRun);
            return false;
        }
        suiteTimeMs_ = SuiteTime();
        if (suiteTimeMs_ > 0)
            return true;
        Tally tally;
        tally.failed = 1;
        Report(target, suite, tally, "not run: the run's " + std::to_string(RunTimeoutMs / 60000) + " minutes were up");
        return false;
    }

    DWORD SuiteTime() const
    {
        ULONGLONG spent = GetTickCount64() - started_;
        return spent >= RunTimeoutMs ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(SuiteTimeoutMs, RunTimeoutMs - spent));
    }

    std::wstring ResultPath(const Target& target, const wchar_t* suite, const wchar_t* extension) const
    {
        return options_.out + target.arch + L"-" + target.label + L"-" + suite + extension;
    }

    void Report(const Target& target, const wchar_t* suite, const Tally& tally, const std::string& note)
    {
        total_.passed += tally.passed;
        total_.failed += tally.failed;
        total_.skipped += tally.skipped;
        std::printf("[%s %s] %-20s %d passed, %d failed, %d skipped%s%s\n", Narrow(target.arch).c_str(),
                    Narrow(target.label).c_str(), Narrow(suite).c_str(), tally.passed, tally.failed, tally.skipped,
                    note.empty() ? "" : ": ", note.c_str());
        std::fflush(stdout);
    }

    void Skip(const Target& target, const wchar_t* suite, const std::string& why)
    {
        Tally tally;
        if (WriteOneCaseXml(ResultPath(target, suite, L".xml"), Narrow(suite), nullptr, why.c_str()))
            tally.skipped = 1;
        else
            tally.failed = 1;
        Report(target, suite, tally, tally.failed ? why + "; " + CannotWrite(target, suite) : why);
    }

    std::string CannotWrite(const Target& target, const wchar_t* suite) const
    {
        return "cannot write " + Narrow(ResultPath(target, suite, L".xml")) + " (error " + std::to_string(GetLastError())
             + ")";
    }

    void GoogleTestSuite(const Target& target, const wchar_t* suite, const wchar_t* program, const std::wstring& filter)
    {
        std::wstring xml = ResultPath(target, suite, L".xml");
        DeleteFileW(xml.c_str());
        const DWORD timeoutMs = suiteTimeMs_;
        ::Run run = RunProgram(L"\"" + target.folder + program + L"\" --gtest_filter=" + filter
                                           + L" --gtest_output=xml:\"" + xml + L"\"",
                               ResultPath(target, suite, L".log"), timeoutMs);
        Tally tally = TallyOfXml(ReadFile(xml));
        std::string note;
        if (!run.started)
            note = "could not start, error " + std::to_string(run.error);
        else if (!run.finished)
            note = "did not end within " + std::to_string(timeoutMs / 1000) + " s";
        else if (run.status != 0 && tally.failed == 0)
            note = "exit status " + std::to_string(static_cast<long>(run.status)) + " (see the log)";
        if (!note.empty() && tally.failed == 0)
            ++tally.failed;  // a crash, or a DLL that does not load, is a failure
        if (tally.passed + tally.failed + tally.skipped == 0)
            ++tally.failed, note = "no result";
        Report(target, suite, tally, note);
    }

    // A program that checks itself and exits 0 when every check held.
    void ProgramSuite(const Target& target, const wchar_t* suite, const wchar_t* program,
                      STARTUPINFOEXW* extended = nullptr, bool (*beforeResume)(HANDLE, std::string&) = nullptr)
    {
        std::string refusal;
        const DWORD timeoutMs = suiteTimeMs_;
        ::Run run = RunProgram(L"\"" + target.folder + program + L"\"", ResultPath(target, suite, L".log"),
                               timeoutMs, extended, beforeResume, &refusal);
        if (!refusal.empty())
            return Skip(target, suite, refusal);
        std::string failure;
        if (!run.started)
            failure = "could not start, error " + std::to_string(run.error);
        else if (!run.finished)
            failure = "did not end within " + std::to_string(timeoutMs / 1000) + " s";
        else if (run.status != 0)
        {
            // The program names its wrong answers, one a line: the first says what went wrong.
            std::string said = ReadFile(ResultPath(target, suite, L".log"));
            said = said.substr(0, said.find_first_of("\r\n"));
            failure = "exit status " + std::to_string(static_cast<long>(run.status)) + (said.empty() ? "" : ": " + said);
        }
        if (!WriteOneCaseXml(ResultPath(target, suite, L".xml"), Narrow(suite),
                             failure.empty() ? nullptr : failure.c_str(), nullptr))
            failure += (failure.empty() ? "" : "; ") + CannotWrite(target, suite);
        Tally tally;
        (failure.empty() ? tally.passed : tally.failed) = 1;
        Report(target, suite, tally, failure);
    }

    void CetStrictSuite(const Target& target)
    {
        if (target.arch != L"x64")
            return Skip(target, L"cet-strict", "Windows gives CET shadow stacks to x64 processes only");
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(NULL, 1, 0, &size);
        std::vector<char> storage(size);
        auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        DWORD64 policy[2] = {0, CetShadowStacksStrictMode};
        if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)
            || !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, policy,
                                          sizeof policy, NULL, NULL))
            return Skip(target, L"cet-strict", "this Windows takes no CET shadow-stack policy");
        STARTUPINFOEXW extended = {};
        extended.lpAttributeList = attributes;
        ProgramSuite(target, L"cet-strict", L"msvc-caller.exe", &extended, HasStrictShadowStacks);
        DeleteProcThreadAttributeList(attributes);
    }

    void RunSuites(const Target& target)
    {
        if (!Exists(target.folder + L"Gorvale.dll"))
        {
            std::printf("[%s %s] no Gorvale.dll in %s\n", Narrow(target.arch).c_str(), Narrow(target.label).c_str(),
                        Narrow(target.folder).c_str());
            ++total_.failed;
            return;
        }
        // Which toolchain built the DLL, known from where it lies: the suites
        // expect its marks. A given DLL, documented as the MSVC toolchain's, is
        // held to the contract but not to the release's size.
        SetEnvironmentVariableW(L"GORVALE_DLL_TOOLCHAIN", target.label == L"mingw" ? L"mingw" : L"msvc");
        SetEnvironmentVariableW(L"GORVALE_DLL_GIVEN", target.label == L"given" ? L"1" : NULL);
        // The example installers carry the kit's own DLL, not a given one.
        std::wstring filter = L"-CodePage932.*:Utf8CodePage.*";
        if (target.label == L"given")
            filter += L":Callers.Nsis*:Callers.InnoSetup*";
        if (Runs(target, L"real-dll-tests"))
            GoogleTestSuite(target, L"real-dll-tests", L"real-dll-tests.exe", filter);
        if (Wanted(L"real-dll-tests") && target.label == L"given")
            Skip(target, L"nsis-installer", "the example installers carry the kit's own DLL, not the one given");
        if (Runs(target, L"code-page-932"))
        {
            // Chosen here, so its tests must find it.
            SetEnvironmentVariableW(L"GORVALE_ANSI_CODE_PAGE", L"932");
            if (GetACP() == 932)
                GoogleTestSuite(target, L"code-page-932", L"real-dll-tests.exe", L"CodePage932.*");
            else
                Skip(target, L"code-page-932", "the ANSI code page is " + std::to_string(GetACP()) + ", not 932");
            SetEnvironmentVariableW(L"GORVALE_ANSI_CODE_PAGE", NULL);
        }
        // Its tests skip themselves where Windows ignores the manifest's code page.
        if (Runs(target, L"utf-8"))
            GoogleTestSuite(target, L"utf-8", L"real-dll-tests-utf-8.exe", L"Utf8CodePage.*");
        if (Runs(target, L"load-unload"))
            GoogleTestSuite(target, L"load-unload", L"load-unload-tests.exe", L"*");
        if (Runs(target, L"msvc-caller"))
            ProgramSuite(target, L"msvc-caller", L"msvc-caller.exe");
        if (target.arch == L"x86" && Runs(target, L"msvc-caller-stdcall"))
            ProgramSuite(target, L"msvc-caller-stdcall", L"msvc-caller-stdcall.exe");
        // Built with the MSVC toolchain, beside its DLL: missing there, it fails.
        if (Runs(target, L"guard-caller"))
        {
            if (target.label == L"mingw")
                Skip(target, L"guard-caller", "it is built with the MSVC toolchain, over that toolchain's DLL");
            else
                ProgramSuite(target, L"guard-caller", L"guard-caller.exe");
        }
        if (Runs(target, L"cet-strict"))
            CetStrictSuite(target);
        if (Runs(target, L"contract-caller"))
            ProgramSuite(target, L"contract-caller", L"contract-caller.exe");
    }

    Options options_;
    Tally total_;
    ULONGLONG started_ = GetTickCount64();
    DWORD suiteTimeMs_ = 0;  // the suite's limit, taken when it was found to have time
};

int Runner::Run()
{
    const std::wstring kit = KitFolder();
    if (!CreateFolderTree(options_.out))
    {
        DWORD error = GetLastError();
        std::fprintf(stderr, "run-tests: cannot create the results folder %s (error %lu); nothing was run\n",
                     Narrow(options_.out).c_str(), error);
        return 2;
    }
    std::vector<Target> targets;
    if (!options_.dll.empty())
    {
        std::wstring arch = ArchitectureOf(options_.dll);
        if (arch.empty() || !RunsProgramsOf(arch))
        {
            std::fprintf(stderr, "run-tests: %s is no DLL that this Windows can load\n", Narrow(options_.dll).c_str());
            return 2;
        }
        // The MSVC toolchain's programs, copied into a fresh folder beside the
        // given DLL and its symbols.
        wchar_t temp[MAX_PATH];
        std::wstring folder = std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + L"gorvale-kit-"
                            + std::to_wstring(GetCurrentProcessId()) + L"-" + arch + L"\\";
        std::wstring pdb = options_.dll.substr(0, options_.dll.find_last_of(L'.')) + L".pdb";
        if (!CopyFolder(kit + arch + L"\\msvc\\", folder)
            || !CopyFileW(options_.dll.c_str(), (folder + L"Gorvale.dll").c_str(), FALSE)
            || (Exists(pdb) ? !CopyFileW(pdb.c_str(), (folder + L"Gorvale.pdb").c_str(), FALSE)
                            : !DeleteFileW((folder + L"Gorvale.pdb").c_str())))
        {
            std::fprintf(stderr, "run-tests: cannot lay out %s\n", Narrow(folder).c_str());
            return 2;
        }
        targets.push_back({arch, L"given", folder, ""});
    }
    else
    {
        for (const wchar_t* arch : {L"x86", L"x64", L"arm64"})
        {
            if (!options_.arch.empty() && options_.arch != arch)
                continue;
            std::string notRun;
            if (!RunsProgramsOf(arch))
                notRun = "this Windows runs no " + Narrow(arch) + " programs";
            for (const wchar_t* label : {L"msvc", L"mingw"})
                if (std::wstring(arch) != L"arm64" || std::wstring(label) == L"msvc")  // ARM64 has no MinGW DLL
                    targets.push_back({arch, label, kit + arch + L"\\" + label + L"\\", notRun});
        }
    }
    std::string host = Narrow(WineHostRunsX86());
    std::printf("Gorvale test kit on Windows build %lu, ANSI code page %u%s%s; results in %s\n", WindowsBuild(),
                GetACP(), host.empty() ? "" : "; 32-bit x86 code on Wine's host: ", host.c_str(),
                Narrow(options_.out).c_str());
    for (const Target& target : targets)
        RunSuites(target);
    std::printf("%d passed, %d failed, %d skipped\n", total_.passed, total_.failed, total_.skipped);
    return total_.failed == 0 && total_.passed > 0 ? 0 : 1;
}

std::string SuiteNames()
{
    std::string names;
    for (const wchar_t* suite : Suites)
        names += (names.empty() ? "" : ", ") + Narrow(suite);
    return names;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    options.out = KitFolder() + L"results\\";
    for (int i = 1; i < argc; ++i)
    {
        std::wstring arg = argv[i];
        bool takesValue = arg == L"--arch" || arg == L"--dll" || arg == L"--suite" || arg == L"--out";
        if (!takesValue || i + 1 == argc)
            return false;
        std::wstring value = argv[++i];
        if (arg == L"--arch" && value != L"x86" && value != L"x64" && value != L"arm64")
            return false;
        if (arg == L"--arch")
            options.arch = value;
        else if (arg == L"--suite")
        {
            if (std::find(std::begin(Suites), std::end(Suites), value) == std::end(Suites))
            {
                std::fprintf(stderr, "run-tests: there is no suite %s; the suites are %s\n", Narrow(value).c_str(),
                             SuiteNames().c_str());
                return false;
            }
            options.suites.push_back(value);
        }
        else
        {
            wchar_t full[MAX_PATH];
            DWORD length = GetFullPathNameW(value.c_str(), MAX_PATH, full, NULL);
            if (length == 0 || length >= MAX_PATH)
                return false;
            (arg == L"--dll" ? options.dll : options.out) = full;
        }
    }
    if (options.out.back() != L'\\')
        options.out += L'\\';
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        std::fprintf(stderr, Usage, SuiteNames().c_str());
        return 2;
    }
    return Runner(options).Run();
}
