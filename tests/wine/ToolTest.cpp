// gorvale-check run as a user runs it: its output, exit status and waiting.
#include "Gorvale.h"
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A program started with a command line, its output and errors going to one
// pipe, unless its standard output is given.
class Child
{
public:
    Child(const std::string& program, const std::string& commandLine, HANDLE standardOutput = NULL)
        : Child(Wide(program), Wide(commandLine), standardOutput)
    {
    }

    Child(const std::wstring& program, std::wstring commandLine, HANDLE standardOutput = NULL)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
        HANDLE writeEnd = NULL;
        EXPECT_TRUE(CreatePipe(&output_, &writeEnd, &inheritable, 0));
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = writeEnd;
        startup.hStdOutput = standardOutput ? standardOutput : writeEnd;
        PROCESS_INFORMATION started = {};
        try
        {
            started = StartProcess(program, commandLine, startup);
        }
        catch (const std::exception&)  // the test stops here, saying why
        {
            CloseHandle(writeEnd);
            CloseHandle(output_);
            throw;
        }
        CloseHandle(writeEnd);
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }

    ~Child()
    {
        TerminateProcess(process_, 99);
        CloseHandle(process_);
        CloseHandle(output_);
    }

    bool ExitsWithin(DWORD milliseconds) { return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0; }

    // Waits for the end; returns the exit status and sets output (CRs dropped).
    // The end is the program's, not the pipe's: a process that it starts may
    // hold the pipe on, as Wine's desktop process does when a window program
    // is the first to need one.
    DWORD Finish(std::string& output)
    {
        const ULONGLONG deadline = GetTickCount64() + 120000;
        bool ended = false;
        do
        {
            ended = ExitsWithin(20);
            ReadWhatIsWritten(output);
        } while (!ended && GetTickCount64() < deadline);
        EXPECT_TRUE(ended);
        DWORD status = 99;
        GetExitCodeProcess(process_, &status);
        return status;
    }

private:
    void ReadWhatIsWritten(std::string& output)
    {
        char buffer[512];
        DWORD available = 0;
        DWORD length = 0;
        while (PeekNamedPipe(output_, NULL, 0, NULL, &available, NULL) && available > 0
               && ReadFile(output_, buffer, sizeof buffer, &length, NULL))
            for (DWORD i = 0; i < length; ++i)
                if (buffer[i] != '\r')
                    output += buffer[i];
    }

    HANDLE process_ = NULL;
    HANDLE output_ = NULL;
};

// gorvale-check started with the given arguments.
class Tool : public Child
{
public:
    explicit Tool(const std::string& arguments, HANDLE standardOutput = NULL)
        : Child(ProgramDirectory() + "gorvale-check.exe", "gorvale-check " + arguments, standardOutput)
    {
    }
};

DWORD RunTool(const std::string& arguments, std::string& output)
{
    return Tool(arguments).Finish(output);
}

TEST(Tool, AnswersForEachNameEvenOneThatBeginsWithADash)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess helper("GvToolHelper", "idle-helper-other.exe");
    HelperProcess dashHelper("-GvDashHelper");
    struct Case { const char* arguments; DWORD status; const char* output; };
    const Case cases[] = {
        {"GvToolHelper no-such-app-gorvale", 1, "GvToolHelper: running\nno-such-app-gorvale: not running\n"},
        {"GVTOOLHELPER.EXE gvtool gorvale-check", 0,
         "GVTOOLHELPER.EXE: running\ngvtool: running\ngorvale-check: running\n"},
        {"-- -GvDash gorvale-check --help", 1, "-GvDash: running\ngorvale-check: running\n--help: not running\n"},
        {"gorvale -- -- -gvdashhelper.exe", 1, "gorvale: running\n--: not running\n-gvdashhelper.exe: running\n"},
        {"-- -GvDash -- --help", 1, "-GvDash: running\n--: not running\n--help: not running\n"},
    };
    for (const Case& c : cases)
    {
        std::string output;
        EXPECT_EQ(RunTool(c.arguments, output), c.status) << c.arguments;
        EXPECT_EQ(output, c.output) << c.arguments;
    }
}

TEST(Tool, AnswerThatCannotBeWrittenIsTrouble)
{
    std::string path = TemporaryPath("gorvale-read-only");
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE readOnly = CreateFileA(path.c_str(), GENERIC_READ, 0, &inheritable, CREATE_ALWAYS,
                                  FILE_FLAG_DELETE_ON_CLOSE, NULL);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    struct Case { const char* arguments; const char* why; };
    for (const Case& c : {Case{"gorvale-check", "the answer cannot be written"},
                          Case{"--wait gorvale-check", "the answer cannot be written"},
                          Case{"--help", "the help text cannot be written"}})
    {
        std::string errors;
        EXPECT_EQ(Tool(c.arguments, readOnly).Finish(errors), 2u) << c.arguments;
        EXPECT_EQ(errors, std::string("gorvale-check: ") + c.why + "\n") << c.arguments;
    }
    CloseHandle(readOnly);
}

TEST(Tool, ExplainsItselfAndRefusesBadUsage)
{
    std::string output;
    EXPECT_EQ(RunTool("--help", output), 0u);
    EXPECT_EQ(output.rfind("Usage: gorvale-check [--] NAME...\n"
                           "       gorvale-check --wait [--] NAME [--timeout SECONDS] [--interval MS]\n", 0), 0u)
        << output;
    EXPECT_NE(output.find("       gorvale-check -h | --help\n"), std::string::npos) << output;

    struct Case { const char* arguments; const char* message; };
    const Case cases[] = {
        {"", "name at least one process"},
        {"--wait --timeout 1", "--wait needs a NAME, not --timeout; a NAME that begins with '-' goes after --"},
        {"--wait-gone --interval 5", "--wait-gone needs a NAME, not --interval"},
        {"--wait --", "--wait needs a NAME"},
        {"--bogus viewer", "unknown option --bogus"},
        {"-viewer", "unknown option -viewer"},
        {"--", "name at least one process"},
        {"--wait", "--wait needs a value"},
        {"--wait-gone viewer --timeout", "--timeout needs a value"},
        {"--wait viewer --timeout soon", "not soon"},
        {"--wait viewer --timeout -1", "not -1"},
        {"--wait viewer --timeout +1", "not +1"},
        {"--wait viewer --interval +5", "not +5"},
        {"--wait viewer --timeout 86401", "not 86401"},
        {"--wait viewer --interval 3600001", "not 3600001"},
        {"--wait viewer --timeout 99999999999", "not 99999999999"},
        {"--wait viewer --interval 0", "not 0"},
        {"--wait viewer --interval 10ms", "not 10ms"},
        {"--wait viewer --wait-gone editor", "one of --wait and --wait-gone"},
        {"--wait viewer editor", "take no further NAMEs"},
        {"--timeout 5 viewer", "go with --wait or --wait-gone"},
        // An empty NAME, in every mode: nearly always a variable never set.
        {"\"\"", "a NAME cannot be empty"},
        {"viewer \"\"", "a NAME cannot be empty"},
        {"-- \"\"", "a NAME cannot be empty"},
        {"--wait \"\"", "a NAME cannot be empty"},
        {"--wait-gone -- \"\" --timeout 60", "a NAME cannot be empty"},
    };
    for (const Case& c : cases)
    {
        output.clear();
        EXPECT_EQ(RunTool(c.arguments, output), 2u) << c.arguments;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.arguments << " printed " << output;
    }
}

TEST(Tool, WaitsUntilAProcessStarts)
{
    Tool tool("--wait GvAwaitedHelper --timeout 120 --interval 50");
    EXPECT_FALSE(tool.ExitsWithin(700));
    HelperProcess helper("GvAwaitedHelper");
    EXPECT_TRUE(tool.ExitsWithin(60000));  // generous: the machine may be busy
    std::string output;
    EXPECT_EQ(tool.Finish(output), 0u);
    EXPECT_EQ(output, "GvAwaitedHelper: running\n");
}

TEST(Tool, WaitsUntilAProcessIsGone)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess helper("GvLeavingHelper", "idle-helper-other.exe");
    Tool tool("--wait-gone gvleaving --timeout 120");
    EXPECT_FALSE(tool.ExitsWithin(700));
    helper.End();
    EXPECT_TRUE(tool.ExitsWithin(60000));  // generous: the machine may be busy
    std::string output;
    EXPECT_EQ(tool.Finish(output), 0u);
    EXPECT_EQ(output, "gvleaving: not running\n");
}

TEST(Tool, GivesUpAtTheTimeout)
{
    ULONGLONG start = GetTickCount64();
    std::string output;
    EXPECT_EQ(RunTool("--wait GvNeverStarted --timeout 1 --interval 100", output), 1u);
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LT(elapsed, 60000u);
    EXPECT_EQ(output, "GvNeverStarted: not running\ngorvale-check: timed out after 1 s\n");

    output.clear();
    EXPECT_EQ(RunTool("--wait-gone gorvale-check --timeout 0", output), 1u);
    EXPECT_EQ(output.rfind("gorvale-check: running\n", 0), 0u) << output;

    output.clear();  // a NAME that begins with '-'
    EXPECT_EQ(RunTool("--wait -- -GvNeverStarted --timeout 0", output), 1u);
    EXPECT_EQ(output.rfind("-GvNeverStarted: not running\n", 0), 0u) << output;

    // The timeout holds even when the interval is longer.
    output.clear();
    start = GetTickCount64();
    EXPECT_EQ(RunTool("--wait GvNeverStarted --timeout 1 --interval 3600000", output), 1u);
    EXPECT_LT(GetTickCount64() - start, 30000u);

    output.clear();  // the documented maxima are accepted
    EXPECT_EQ(RunTool("--wait gorvale-check --timeout 86400 --interval 3600000", output), 0u) << output;
    EXPECT_EQ(output, "gorvale-check: running\n");
}

// A copy of the tool whose manifest leaves out the UTF-8 code page runs in the
// ANSI code page, as on Windows before 10 version 1903 (Wine honours the
// manifest). It refuses a NAME that the code page cannot hold, including one
// that it would only approximate ("best fit": a-macron as a), and takes any
// other. Its arguments arrive in UTF-16, as from a console.
TEST(Tool, InAnAnsiCodePageRefusesOnlyNamesTheCodePageCannotHold)
{
    SKIP_UNLESS_CODE_PAGE(1252);
    const std::wstring tool = Wide(ProgramDirectory()) + L"gorvale-check-ansi.exe";
    for (const wchar_t* name : {L"Gv\u03A9mega", L"Gv\u0101pp"})
    {
        std::string output;
        EXPECT_EQ(Child(tool, std::wstring(L"gorvale-check ") + name).Finish(output), 2u);
        EXPECT_NE(output.find(") holds characters that code page 1252 cannot;"), std::string::npos) << output;
    }
    std::string output;
    EXPECT_EQ(Child(tool, L"gorvale-check caf\u00E9 gorvale-check-ansi").Finish(output), 1u);
    EXPECT_EQ(output, "caf\xE9: not running\ngorvale-check-ansi: running\n");
}

// Windows 10 version 1903 and later (and Wine 8) honour a manifest's UTF-8
// code page; earlier Windows ignores it.
bool IgnoresTheManifestsCodePage()
{
    typedef LONG(WINAPI * RtlGetVersionFunction)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetACP() != CP_UTF8 && rtlGetVersion && rtlGetVersion(&version) == 0 && version.dwBuildNumber < 18362;
}

// Run in a program whose manifest makes UTF-8 its ANSI code page, as Windows
// 10 version 1903 and later (and Wine 8) honour; the other tests leave it out.
// The helper's name holds Greek and CJK letters, which neither code page 1252
// nor 932 holds: Omega-mu-epsilon(tonos)-gamma-alpha, then the CJK "table".
TEST(Utf8CodePage, NamesOfAnyScriptAreFoundByThemselvesAndNotByANearName)
{
    if (IgnoresTheManifestsCodePage())
        GTEST_SKIP() << "this Windows ignores a manifest's UTF-8 code page";
    ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "run real-dll-tests-utf-8.exe";
    const std::string name = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1\xE8\xA1\xA8zq";
    const std::string lowerOmega = "\xCF\x89" + name.substr(2);  // differs only in the case of Omega
    for (const char* image : {"idle-helper.exe", "idle-helper-other.exe"})
    {
        SKIP_UNLESS_HELPER_STARTS(image);
        HelperProcess helper(name + "7", image);
        ASSERT_EQ(helper.ImageFileName(), L"\u03A9\u03BC\u03AD\u03B3\u03B1\u8868zq7.exe");  // proves Wine passed the name intact

        ASSERT_EQ(RefreshProcessList(), 1);
        EXPECT_EQ(FindProcess(name.c_str()), 1) << image;
        EXPECT_EQ(FindProcess((name + "7.EXE").c_str()), 1) << image;
        EXPECT_EQ(FindProcess(lowerOmega.c_str()), 0) << image;
        EXPECT_EQ(FindProcess("??"), 0) << image;

        std::string output;
        EXPECT_EQ(RunTool(name + " " + lowerOmega, output), 1u) << image;
        EXPECT_EQ(output, name + ": running\n" + lowerOmega + ": not running\n") << image;
    }
}

// A module listing fetches at most 259 bytes of a name, while a file name may
// hold 255 UTF-16 characters, up to 765 bytes in UTF-8. A longer name cannot
// be fetched whole: Wine's fetch then fails, and the process is skipped, as
// one whose name cannot be read; Windows documents a cut name instead, which
// a query within its first 259 bytes would match. A longer query never
// matches. (Linux holds file names of at most 255 bytes, so the helper poses
// under the long name in its loader data.)
TEST(Utf8CodePage, ANameLongerThan259BytesIsNotFetchedWholeAndNeverMatchesALongerQuery)
{
    if (IgnoresTheManifestsCodePage())
        GTEST_SKIP() << "this Windows ignores a manifest's UTF-8 code page";
    ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "run real-dll-tests-utf-8.exe";
    std::string table;  // the CJK "table", three bytes in UTF-8
    for (int i = 0; i < 100; ++i)
        table += "\xE8\xA1\xA8";
    HelperProcess fits("GvShortUtf8", "idle-helper.exe", table.substr(0, 255) + ".exe");
    HelperProcess longer("GvLongUtf8", "idle-helper.exe", table + ".exe");
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess((table.substr(0, 255) + ".exe").c_str()), 1);  // 259 bytes
    // 86 characters: only a cut name can match. Windows cuts a name to the
    // buffer, as GetModuleBaseNameA documents; Wine refuses to fetch it.
    const char* wine = WineVersion();
    EXPECT_EQ(FindProcess(table.substr(0, 258).c_str()), wine ? 0 : 1)
        << (wine ? std::string("Wine ") + wine + " refuses" : std::string("Windows cuts")) << " a name over 259 bytes";
    EXPECT_EQ(FindProcess(table.c_str()), 0);
}

// The callers' recipes in examples/, run as their users run them. An NSIS
// installer is built only beside an x86 DLL, and only where makensis is
// (the build says why not, in GORVALE_NO_EXAMPLE_INSTALLER); it has no
// relocations, so it cannot start where scripts/wine-run.sh says that its
// fixed base is taken.
#define SKIP_WITHOUT_EXAMPLE_INSTALLER()                                       \
    if (*GORVALE_NO_EXAMPLE_INSTALLER)                                         \
        GTEST_SKIP() << GORVALE_NO_EXAMPLE_INSTALLER;                          \
    else if (const char* taken = std::getenv("GORVALE_X86_FIXED_BASE_TAKEN")) \
    GTEST_SKIP() << taken

TEST(Callers, NsisInstallerInstallsOnlyOnceTheProgramIsClosed)
{
    SKIP_WITHOUT_EXAMPLE_INSTALLER();
    // Built from examples/nsis to install GvNsisApp.txt unless GvNsisApp runs.
    std::string target = TemporaryPath("gorvale-nsis");
    std::string installed = target + "\\GvNsisApp.txt";
    std::string installer = ProgramDirectory() + "example-installer.exe";
    std::string output;
    {
        HelperProcess app("GvNsisApp");
        EXPECT_EQ(Child(installer, "installer /S /D=" + target).Finish(output), 3u);
        EXPECT_EQ(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // Under load, Wine may go on listing an ended process for a moment.
    for (int tries = 0; tries < 100 && RefreshProcessList() && FindProcess("GvNsisApp"); ++tries)
        Sleep(50);
    EXPECT_EQ(Child(installer, "installer /S /D=" + target).Finish(output), 0u);
    EXPECT_NE(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(installed.c_str());
    RemoveDirectoryA(target.c_str());
}

// Built with a stand-in for Gorvale.dll that cannot answer: it fails every
// refresh, lacks the functions, or is of the other bitness and does not load.
TEST(Callers, NsisInstallerThatCannotTellInstallsNothing)
{
    SKIP_WITHOUT_EXAMPLE_INSTALLER();
    std::string target = TemporaryPath("gorvale-nsis-cannot-tell");
    for (const char* kind : {"refusing", "no-exports", "other-bitness"})
    {
        std::string output;
        std::string installer = ProgramDirectory() + "example-installer-" + kind + ".exe";
        EXPECT_EQ(Child(installer, "installer /S /D=" + target).Finish(output), 4u) << kind;
        EXPECT_EQ(GetFileAttributesA((target + "\\GvNsisApp.txt").c_str()), INVALID_FILE_ATTRIBUTES) << kind;
    }
}

// The Inno Setup recipe, built by ISCC to install GvInnoApp.txt unless
// GvInnoApp.exe runs; judged by its exit status, the files it leaves and its
// log. Built only beside an x86 DLL where ISCC ran (the build says why not).
std::string ReadWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

#define SKIP_WITHOUT_INNO_INSTALLER()                                                           \
    if (*GORVALE_NO_INNO_INSTALLER)                                                             \
        GTEST_SKIP() << GORVALE_NO_INNO_INSTALLER;                                              \
    else if (!Exists(ProgramDirectory() + "inno-installer.exe"))                                \
        GTEST_SKIP() << ReadWhole(ProgramDirectory() + "inno-skipped.txt");                     \
    else if (const char* taken = std::getenv("GORVALE_X86_FIXED_BASE_TAKEN"))                  \
    GTEST_SKIP() << taken

// Runs a setup or an uninstaller silently; its exit status, and its log in log.
DWORD RunInno(const std::string& program, const std::string& arguments, std::string& log)
{
    std::string logPath = TemporaryPath("gorvale-inno") + ".log";
    std::string output;
    DWORD status = Child(program, "inno /VERYSILENT /SUPPRESSMSGBOXES /LOG=\"" + logPath + "\" " + arguments)
                       .Finish(output);
    log = ReadWhole(logPath);
    DeleteFileA(logPath.c_str());
    return status;
}

// Runs the uninstaller installed in target; its exit status. It ends its work
// from a copy of itself, which may outlast it: once the uninstaller may
// remove target, this waits until target is gone, as another setup could not
// start before.
DWORD UninstallInno(const std::string& target, std::string& log)
{
    DWORD status = RunInno(target + "\\unins000.exe", "", log);
    for (int tries = 0; status == 0 && tries < 100 && Exists(target); ++tries)
        Sleep(100);
    return status;
}

TEST(Callers, InnoSetupInstallerInstallsOnlyWhenItCanTellTheProgramIsClosed)
{
    SKIP_WITHOUT_INNO_INSTALLER();
    const std::string running = "GvInnoApp.exe is running; close it and try again.";
    const std::string cannotTell = "Cannot tell whether GvInno";
    // A system whose ANSI code page is UTF-8 holds any name.
    const bool holdsAnyName = GetACP() == CP_UTF8;
    struct Case { const char* installer; bool appRuns; DWORD status; const std::string& said; };
    const Case cases[] = {
        {"inno-installer", true, 7, running},
        {"inno-installer-refusing", false, 7, cannotTell},
        {"inno-installer-blind", false, 7, cannotTell},
        {"inno-installer-no-exports", false, 7, cannotTell},
        {"inno-installer-other-bitness", false, 7, cannotTell},
        {"inno-installer-outside-code-page", false, holdsAnyName ? 0u : 7u, cannotTell},
        {"inno-installer", false, 0, running},
    };
    for (const Case& c : cases)
    {
        std::string target = TemporaryPath(std::string("gorvale-") + c.installer);
        std::string log;
        // Under load, Wine may go on listing an ended helper for a moment.
        for (int tries = 0; tries < 100 && !c.appRuns && RefreshProcessList() && FindProcess("GvInnoApp"); ++tries)
            Sleep(50);
        std::unique_ptr<HelperProcess> app(c.appRuns ? new HelperProcess("GvInnoApp") : nullptr);
        EXPECT_EQ(RunInno(ProgramDirectory() + c.installer + ".exe", "/DIR=\"" + target + "\"", log), c.status)
            << c.installer << (c.appRuns ? " with GvInnoApp running" : "") << "; its log:\n" << log;
        EXPECT_EQ(Exists(target + "\\GvInnoApp.txt"), c.status == 0) << c.installer;
        if (c.status != 0)
            EXPECT_NE(log.find(c.said), std::string::npos) << c.installer << " did not say '" << c.said << "':\n" << log;
        else
            UninstallInno(target, log);  // judged by the uninstaller's own test
    }
}

// Installed, the uninstaller asks too: it refuses while the program runs, or
// when its Gorvale.dll is gone, and once it may, it leaves nothing behind.
TEST(Callers, InnoSetupUninstallerRemovesNothingWhileTheProgramRuns)
{
    SKIP_WITHOUT_INNO_INSTALLER();
    std::string target = TemporaryPath("gorvale-inno-uninstall");
    std::string log;
    ASSERT_EQ(RunInno(ProgramDirectory() + "inno-installer.exe", "/DIR=\"" + target + "\"", log), 0u) << log;
    {
        HelperProcess app("GvInnoApp");
        EXPECT_NE(UninstallInno(target, log), 0u) << log;
        EXPECT_NE(log.find("GvInnoApp.exe is running; close it and try again."), std::string::npos) << log;
        EXPECT_TRUE(Exists(target + "\\GvInnoApp.txt"));
    }
    ASSERT_TRUE(CopyFileA((target + "\\Gorvale.dll").c_str(), (target + "\\Gorvale.dll.kept").c_str(), FALSE));
    DeleteFileA((target + "\\Gorvale.dll").c_str());
    EXPECT_NE(UninstallInno(target, log), 0u) << log;
    EXPECT_NE(log.find("Cannot tell whether GvInnoApp.exe is running."), std::string::npos) << log;
    EXPECT_TRUE(Exists(target + "\\GvInnoApp.txt"));
    MoveFileA((target + "\\Gorvale.dll.kept").c_str(), (target + "\\Gorvale.dll").c_str());
    // Under load, Wine may go on listing an ended process for a moment.
    for (int tries = 0; tries < 100 && RefreshProcessList() && FindProcess("GvInnoApp"); ++tries)
        Sleep(50);
    EXPECT_EQ(UninstallInno(target, log), 0u) << log;
    EXPECT_FALSE(Exists(target)) << "the uninstaller left " << target << " behind; its log:\n" << log;
}

// The batch recipe in folder, run by cmd with the given arguments. With /s,
// cmd takes off only the outer quotes, so that the folder may hold spaces.
std::string BatchRecipe(const std::string& folder, const std::string& arguments)
{
    return "cmd /s /c \"\"" + folder + "wait-for-close.cmd\" " + arguments + "\"";
}

TEST(Callers, BatchFileWaitsUntilTheProgramIsClosed)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess app("GvBatchApp", "idle-helper-other.exe");
    std::string output;
    EXPECT_EQ(Child("", BatchRecipe(ProgramDirectory(), "GvBatchApp 1")).Finish(output), 1u);
    EXPECT_EQ(output, "GvBatchApp is still running; close it and try again.\n");

    Child waiting("", BatchRecipe(ProgramDirectory(), "GvBatchApp 120"));
    EXPECT_FALSE(waiting.ExitsWithin(700));
    app.End();
    output.clear();
    EXPECT_EQ(waiting.Finish(output), 0u);
    EXPECT_EQ(output, "GvBatchApp is closed.\n");

    // Bad arguments are refused at once, without waiting.
    for (const char* arguments : {"", "\"\" 1", "GvBatchApp soon", "GvBatchApp 1x", "GvBatchApp 86401",
                                  "GvBatchApp 99999999999", "GvBatchApp \"1&echo ran\""})
    {
        output.clear();
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(Child("", BatchRecipe(ProgramDirectory(), arguments)).Finish(output), 2u) << arguments;
        EXPECT_LT(GetTickCount64() - start, 30000u) << arguments;
        EXPECT_EQ(output.rfind("Usage: wait-for-close.cmd NAME [SECONDS]\n", 0), 0u) << arguments << ": " << output;
    }
}

// A name is only ever data: it runs nothing, redirects nothing, expands nothing.
TEST(Callers, BatchFileTakesEveryCharacterOfANameLiterally)
{
    const std::string createdByRedirection = TemporaryPath("gorvale-batch-y");
    for (const std::string& name : std::vector<std::string>{"R&D tool", "a|more", "a<nul", "x>" + createdByRedirection,
                                                            "a^b", "(a) ;b,c=d"})
    {
        std::string output;
        EXPECT_EQ(Child("", BatchRecipe(ProgramDirectory(), "\"" + name + "\" 0")).Finish(output), 0u) << name;
        EXPECT_EQ(output, name + " is closed.\n");
    }
    EXPECT_EQ(GetFileAttributesA(createdByRedirection.c_str()), INVALID_FILE_ATTRIBUTES);
    // Windows' cmd keeps a '%' in an expanded argument; Wine's drops it.
    std::string output;
    const char* wine = WineVersion();
    EXPECT_EQ(Child("", BatchRecipe(ProgramDirectory(), "\"50%\" 0")).Finish(output), 0u);
    EXPECT_EQ(output, wine ? "50 is closed.\n" : "50% is closed.\n") << (wine ? "under Wine " : "under Windows") << (wine ? wine : "");
}

// Only an answer of gorvale-check counts: when it cannot run, or cannot list
// the processes, the recipe cannot tell (2), never "closed". The recipe and
// the tool are copied into a folder, with each of the stand-ins for the DLL.
TEST(Callers, BatchFileCannotTellWithoutAWorkingTool)
{
    const std::string folder = TemporaryPath("gorvale batch") + "\\";  // a space, as in many a user's folder
    const std::string dll = folder + "Gorvale.dll";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "wait-for-close.cmd").c_str(), (folder + "wait-for-close.cmd").c_str(), FALSE));
    HelperProcess app("GvBatchApp");
    // The loader looks in the current folder too: it must hold no DLL either.
    char previousFolder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previousFolder);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    struct Case { const char* dll; const char* says; const char* ends; };
    for (const Case& c : {Case{nullptr, ": ", "gorvale-check.exe is missing.\n"},  // the tool is missing
                          Case{"", ": gorvale-check could not run (exit status ", ").\n"},  // no DLL beside it
                          Case{"other-bitness", ": gorvale-check could not run (exit status ", ").\n"},
                          Case{"refusing", ".\n", ""}})
    {
        DeleteFileA(dll.c_str());
        if (c.dll)
            ASSERT_TRUE(CopyFileA((ProgramDirectory() + "gorvale-check.exe").c_str(), (folder + "gorvale-check.exe").c_str(), FALSE));
        if (c.dll && *c.dll)
            ASSERT_TRUE(CopyFileA((ProgramDirectory() + "stand-ins\\" + c.dll + "\\Gorvale.dll").c_str(), dll.c_str(), FALSE));
        std::string output;
        EXPECT_EQ(Child("", BatchRecipe(folder, "GvBatchApp 0")).Finish(output), 2u) << output;
        EXPECT_EQ(output.rfind(std::string("Cannot tell whether GvBatchApp is running") + c.says, 0), 0u) << output;
        const std::string ends = c.ends;
        EXPECT_TRUE(output.size() >= ends.size() && output.compare(output.size() - ends.size(), ends.size(), ends) == 0)
            << output;
    }
    SetCurrentDirectoryA(previousFolder);
    for (const char* file : {"Gorvale.dll", "gorvale-check.exe", "wait-for-close.cmd"})
        DeleteFileA((folder + file).c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
