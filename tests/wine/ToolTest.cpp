// gorvale-check run as a user runs it: its output, exit status and waiting.
#include "Gorvale.h"
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A program started with a command line, its output and errors going to one
// pipe, unless its standard output is given.
class Child
{
public:
    Child(const std::string& program, std::string commandLine, HANDLE standardOutput = NULL)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
        HANDLE writeEnd = NULL;
        EXPECT_TRUE(CreatePipe(&output_, &writeEnd, &inheritable, 0));
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = writeEnd;
        startup.hStdOutput = standardOutput ? standardOutput : writeEnd;
        PROCESS_INFORMATION started = {};
        EXPECT_TRUE(CreateProcessA(program.empty() ? NULL : program.c_str(), &commandLine[0], NULL, NULL, TRUE, 0,
                                   NULL, NULL, &startup, &started)) << commandLine;
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
    DWORD Finish(std::string& output)
    {
        char buffer[512];
        DWORD length = 0;
        while (ReadFile(output_, buffer, sizeof buffer, &length, NULL) && length > 0)
            for (DWORD i = 0; i < length; ++i)
                if (buffer[i] != '\r')
                    output += buffer[i];
        DWORD status = 99;
        EXPECT_TRUE(ExitsWithin(120000));
        GetExitCodeProcess(process_, &status);
        return status;
    }

private:
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
    HelperProcess helper("GvToolHelper", "idle-helper-other.exe");
    HelperProcess dashHelper("-GvDashHelper");
    struct Case { const char* arguments; DWORD status; const char* output; };
    const Case cases[] = {
        {"GvToolHelper no-such-app-gorvale", 1, "GvToolHelper: running\nno-such-app-gorvale: not running\n"},
        {"GVTOOLHELPER.EXE gvtool gorvale-check", 0,
         "GVTOOLHELPER.EXE: running\ngvtool: running\ngorvale-check: running\n"},
        {"-- -GvDash gorvale-check --help", 1, "-GvDash: running\ngorvale-check: running\n--help: not running\n"},
        {"gorvale -- -- -gvdashhelper.exe", 1, "gorvale: running\n--: not running\n-gvdashhelper.exe: running\n"},
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
    for (const char* arguments : {"gorvale-check", "--wait gorvale-check", "--help"})
    {
        std::string errors;
        EXPECT_EQ(Tool(arguments, readOnly).Finish(errors), 2u) << arguments;
    }
    CloseHandle(readOnly);
}

TEST(Tool, ExplainsItselfAndRefusesBadUsage)
{
    std::string output;
    EXPECT_EQ(RunTool("--help", output), 0u);
    EXPECT_EQ(output.rfind("Usage: gorvale-check NAME...", 0), 0u) << output;
    EXPECT_NE(output.find("-h, --help"), std::string::npos) << output;

    struct Case { const char* arguments; const char* message; };
    const Case cases[] = {
        {"", "name at least one process"},
        {"--bogus viewer", "unknown option --bogus"},
        {"-viewer", "unknown option -viewer"},
        {"--", "name at least one process"},
        {"--wait", "--wait needs a value"},
        {"--wait-gone viewer --timeout", "--timeout needs a value"},
        {"--wait viewer --timeout soon", "not soon"},
        {"--wait viewer --timeout -1", "not -1"},
        {"--wait viewer --timeout 99999999999", "not 99999999999"},
        {"--wait viewer --interval 0", "not 0"},
        {"--wait viewer --interval 10ms", "not 10ms"},
        {"--wait viewer --wait-gone editor", "one of --wait and --wait-gone"},
        {"--wait viewer editor", "take no further NAMEs"},
        {"--timeout 5 viewer", "go with --wait or --wait-gone"},
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
}

// The callers' recipes in examples/, run as their users run them.
#ifdef GORVALE_EXAMPLE_INSTALLER
TEST(Callers, NsisInstallerInstallsOnlyOnceTheProgramIsClosed)
{
    // Built from examples/nsis to install GvNsisApp.txt unless GvNsisApp runs.
    std::string target = TemporaryPath("gorvale-nsis");
    std::string installed = target + "\\GvNsisApp.txt";
    std::string installer = ProgramDirectory() + GORVALE_EXAMPLE_INSTALLER;
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
#endif

TEST(Callers, BatchFileWaitsUntilTheProgramIsClosed)
{
    const std::string command = "cmd /c " + ProgramDirectory() + "wait-for-close.cmd GvBatchApp ";
    HelperProcess app("GvBatchApp", "idle-helper-other.exe");
    std::string output;
    EXPECT_EQ(Child("", command + "1").Finish(output), 1u);
    EXPECT_EQ(output, "GvBatchApp is still running; close it and try again.\n");

    Child waiting("", command + "120");
    EXPECT_FALSE(waiting.ExitsWithin(700));
    app.End();
    output.clear();
    EXPECT_EQ(waiting.Finish(output), 0u);
    EXPECT_EQ(output, "GvBatchApp is closed.\n");
}

}  // namespace
