// Idle helper processes started under chosen names, for tests against real processes.
#ifndef HELPER_PROCESS_H
#define HELPER_PROCESS_H

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

// The directory of the running test program, with a trailing backslash.
std::string ProgramDirectory();

// <temporary folder>\<name>-<this process's id>: a path of this run's own.
std::string TemporaryPath(const std::string& name);

// Text in the ANSI code page as UTF-16.
std::wstring Wide(const std::string& text);

// Whether the environment variable name holds value: how whoever started the
// program (ctest, scripts/wine-run.sh, the kit) says what it chose.
inline bool EnvironmentIs(const char* name, const char* value)
{
    const char* held = std::getenv(name);
    return held && std::strcmp(held, value) == 0;
}

// Whether a helper of the other bitness can start: not from a 64-bit program
// under Wine on a host that runs no 32-bit x86 code, as scripts/wine-run.sh
// says in GORVALE_X86_HOST.
bool OtherBitnessRuns();
#define SKIP_UNLESS_OTHER_BITNESS_RUNS() \
    if (OtherBitnessRuns())              \
    {                                    \
    }                                    \
    else                                 \
        GTEST_SKIP() << "Wine's host runs no 32-bit x86 programs, so no helper of the other bitness starts"
// In a loop over the helpers of both bitnesses, once the same bitness has run.
#define SKIP_UNLESS_HELPER_STARTS(image)                     \
    if (std::strcmp(image, "idle-helper-other.exe") == 0) \
    {                                                        \
        SKIP_UNLESS_OTHER_BITNESS_RUNS();                    \
    }

// The Wine version this runs under, or null on Windows: where the two answer
// differently, each test asserts the answer of the runtime it runs on.
inline const char* WineVersion()
{
    typedef const char*(CDECL * WineGetVersionFunction)();
    auto wineGetVersion = reinterpret_cast<WineGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return wineGetVersion ? wineGetVersion() : nullptr;
}

// A test written for one ANSI code page runs where the system has it. Where
// whoever started the program chose that code page (GORVALE_ANSI_CODE_PAGE:
// ctest, through the locale; the kit, for its code page 932 suite), the
// system must have it: a difference fails. Elsewhere the test is skipped.
UINT ChosenCodePage();
#define SKIP_UNLESS_CODE_PAGE(page)                                                                         \
    if (ChosenCodePage() == (page))                                                                         \
        ASSERT_EQ(GetACP(), UINT(page)) << "GORVALE_ANSI_CODE_PAGE chose " << (page) << ", the system did not"; \
    else if (GetACP() != (page))                                                                            \
    GTEST_SKIP() << "needs the ANSI code page " << (page) << "; this one is " << GetACP()

// Starts a program as CreateProcessW does, with inheritable handles: every
// test starts its children so. Wine's process start now and then refuses for
// a moment under load (ERROR_INTERNAL_ERROR), which says nothing of what is
// tested, so that is tried again; throws std::runtime_error, naming the
// program and the error, when the child cannot start.
PROCESS_INFORMATION StartProcess(const std::wstring& program, std::wstring commandLine, STARTUPINFOW& startup);

class HelperProcess
{
public:
    // Starts a copy of image (a helper beside the test program) as <name>.exe
    // and waits until it runs; throws std::runtime_error when it cannot. A
    // helper given posedName writes that name into its own loader data, where
    // a module listing reads it, before it reports ready.
    explicit HelperProcess(const std::string& name, const char* image = "idle-helper.exe",
                           const std::string& posedName = "");
    // The same, for a name the ANSI code page may not hold.
    explicit HelperProcess(const std::wstring& name, const char* image = "idle-helper.exe",
                           const std::string& posedName = "");
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Ends the process and waits for it; the handle stays open, so the
    // process object lingers until the helper is destroyed.
    void End();
    HANDLE Handle() const { return process_; }
    // The file name of the running image, as the system holds it in UTF-16.
    std::wstring ImageFileName() const;

private:
    std::wstring copy_;
    HANDLE process_ = NULL;
};

#endif
