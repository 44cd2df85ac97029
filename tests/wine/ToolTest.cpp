// gorvale-check run as a user runs it: its output, exit status and waiting.
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// gorvale-check started with the given arguments, its output and errors
// going to one pipe.
class Tool
{
public:
    explicit Tool(const std::string& arguments)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
        HANDLE writeEnd = NULL;
        EXPECT_TRUE(CreatePipe(&output_, &writeEnd, &inheritable, 0));
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = writeEnd;
        std::string program = ProgramDirectory() + "gorvale-check.exe";
        std::string commandLine = "gorvale-check " + arguments;
        PROCESS_INFORMATION started = {};
        EXPECT_TRUE(CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL,
                                   &startup, &started));
        CloseHandle(writeEnd);
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }

    ~Tool()
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

DWORD RunTool(const std::string& arguments, std::string& output)
{
    return Tool(arguments).Finish(output);
}

TEST(Tool, AnswersForEachName)
{
    HelperProcess helper("GvToolHelper", "idle-helper-other.exe");
    std::string output;
    EXPECT_EQ(RunTool("GvToolHelper no-such-app-gorvale", output), 1u);
    EXPECT_EQ(output, "GvToolHelper: running\nno-such-app-gorvale: not running\n");
    output.clear();
    EXPECT_EQ(RunTool("GVTOOLHELPER.EXE gvtool gorvale-check", output), 0u);
    EXPECT_EQ(output, "GVTOOLHELPER.EXE: running\ngvtool: running\ngorvale-check: running\n");
}

TEST(Tool, ExplainsItselfAndRefusesBadUsage)
{
    std::string output;
    EXPECT_EQ(RunTool("--help", output), 0u);
    EXPECT_EQ(output.rfind("Usage: gorvale-check NAME...", 0), 0u) << output;

    struct Case { const char* arguments; const char* message; };
    const Case cases[] = {
        {"", "name at least one process"},
        {"--bogus viewer", "unknown option --bogus"},
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

}  // namespace
