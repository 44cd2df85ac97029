// The contract against a real process, for where no GoogleTest program runs
// (ARM64, which has no MinGW toolchain here), without a runtime. It starts a
// copy of itself as GvContractHelper.exe, which waits to be ended, and holds
// the DLL to what it promises: nothing before a refresh; the helper by its
// whole name, by a prefix, and with the case of ASCII letters ignored; not by
// a longer name or a name inside its own; and, once the helper has ended and
// a refresh has followed, not at all. It names each wrong answer.
#include <windows.h>

#include "Gorvale.h"

#include "Answers.h"

static const char HelperName[] = "GvContractHelper.exe";

// Appends text to path at length; the new length.
static DWORD Append(char* path, DWORD length, const char* text)
{
    for (DWORD i = 0; text[i] && length < MAX_PATH - 1; ++i)
        path[length++] = text[i];
    path[length] = '\0';
    return length;
}

// Asks until the answer is wanted or five seconds have passed: a process
// takes a moment to start, and Wine lists an ended one for a moment.
static int FindAfterRefresh(const char* name, int wanted)
{
    int found = !wanted;
    for (int tries = 0; tries < 50 && found != wanted; ++tries)
    {
        if (tries > 0)
            Sleep(100);
        found = RefreshProcessList() == 1 && FindProcess(name) == 1;
    }
    return found;
}

extern "C" void __stdcall ContractCallerEntry()
{
    // The helper: started with an argument, it waits until it is ended.
    const char* commandLine = GetCommandLineA();
    for (const char* c = commandLine; *c; ++c)
        if (c[0] == ' ' && c[1] == 'h')
            Sleep(INFINITE);

    EXPECT_ANSWER(FindProcess("GvContractHelper"), 0);  // nothing before a refresh
    EXPECT_ANSWER(FindProcess(""), 0);
    char self[MAX_PATH];
    char helper[MAX_PATH];
    GetModuleFileNameA(NULL, self, MAX_PATH);
    Append(helper, GetTempPathA(MAX_PATH, helper), HelperName);
    EXPECT_ANSWER(CopyFileA(self, helper, FALSE) != 0, 1);
    char arguments[] = "GvContractHelper h";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    EXPECT_ANSWER(CreateProcessA(helper, arguments, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started) != 0, 1);
    if (started.hProcess)
    {
        EXPECT_ANSWER(FindAfterRefresh(HelperName, 1), 1);
        EXPECT_ANSWER(FindProcess("gvcontracthelper.EXE"), 1);
        EXPECT_ANSWER(FindProcess("GVCONTRACT"), 1);
        EXPECT_ANSWER(FindProcess("GvContractHelper.exe2"), 0);
        EXPECT_ANSWER(FindProcess("ContractHelper"), 0);
        TerminateProcess(started.hProcess, 0);
        WaitForSingleObject(started.hProcess, 10000);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        EXPECT_ANSWER(FindAfterRefresh(HelperName, 0), 0);
    }
    DeleteFileA(helper);
    FINISH("contract-caller");
}
