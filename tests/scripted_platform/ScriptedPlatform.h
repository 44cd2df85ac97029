// A scripted operating system for the library's logic: each test says which
// processes exist and which calls fail, then reads back what the library did.
#ifndef SCRIPTED_PLATFORM_H
#define SCRIPTED_PLATFORM_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct ScriptedProcess
{
    DWORD id = 0;
    std::string moduleName;  // bytes a name fetch writes, failed or not; MAX_PATH or more are written unterminated
    std::string imagePath;   // what QueryFullProcessImageNameA reports; it writes as much even when it fails
    bool opens = true;
    bool listsModules = true;
    bool nullModule = false;
    bool fetchesName = true;
    bool readsExitCode = true;
    DWORD exitCode = STILL_ACTIVE;  // what GetExitCodeProcess reads; an ended process has another
    bool hasImagePath = true;
};

struct ScriptedPlatform
{
    // The script.
    bool listsProcesses = true;
    std::string leadBytes;  // of the ANSI code page; none in a single-byte one
    std::vector<DWORD> listedIds;
    std::vector<ScriptedProcess> processes;

    // What the library did.
    std::vector<std::string> calls;  // e.g. "OpenProcess 7", "CloseHandle 7"
    std::vector<DWORD> opened;       // ids of processes opened successfully
    std::map<HANDLE, DWORD> openHandles;
    std::vector<std::string> faults;  // misuse of the platform, e.g. a double close
    size_t mostOpenAtOnce = 0;
};

// The script every platform call answers from; tests reset it.
extern ScriptedPlatform Platform;

// The lead bytes of code page 932 (Shift-JIS).
std::string CodePage932LeadBytes();

// A process whose image lives at C:\Programs\<moduleName>.
ScriptedProcess RunningProcess(DWORD id, const std::string& moduleName);

#endif
