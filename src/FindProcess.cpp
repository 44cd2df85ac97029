#include "Gorvale.h"
#include "ProcessList.h"

#include <psapi.h>

namespace {

// Room for an image path of 1023 characters in any double-byte code page.
const DWORD MaxImagePath = 2048;

char FoldAsciiCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// In a double-byte code page (932, 936, 949, 950) the byte after a lead byte
// is the second half of one character: it may look like a letter or like '\',
// but it is neither.
bool IsLeadByte(char c)
{
    return IsDBCSLeadByte(static_cast<BYTE>(c));
}

// Reads at most nameCapacity bytes of name, whatever the platform left there.
// Up to a mismatch both strings hold the same bytes, so the name's lead bytes
// mark the trail bytes of both. No file name holds '?': in a fetched name it
// stands for a character the caller's code page cannot hold, so it matches
// nothing, lest two lost characters be taken for each other.
bool NameBeginsWith(const char* name, DWORD nameCapacity, const char* query)
{
    bool atTrailByte = false;
    for (DWORD i = 0; query[i] != '\0'; ++i)
    {
        if (i == nameCapacity || name[i] == '?')
            return false;
        bool same = atTrailByte ? name[i] == query[i] : FoldAsciiCase(name[i]) == FoldAsciiCase(query[i]);
        if (!same)
            return false;
        atTrailByte = !atTrailByte && IsLeadByte(name[i]);
    }
    return true;
}

bool IsStillRunning(HANDLE process)
{
    DWORD exitCode = 0;
    return GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
}

// A 32-bit caller cannot list the modules of a 64-bit process, but it can
// read the image path of the same handle. Longer paths than MaxImagePath
// cannot be read, and such a process is not seen.
bool ImageFileNameBeginsWith(HANDLE process, const char* query)
{
    char path[MaxImagePath];
    DWORD length = MaxImagePath;
    if (!QueryFullProcessImageNameA(process, 0, path, &length))
        return false;
    DWORD fileNameStart = 0;
    for (DWORD i = 0; i < length; ++i)
        if (IsLeadByte(path[i]))
            ++i;
        else if (path[i] == '\\')
            fileNameStart = i + 1;
    return NameBeginsWith(path + fileNameStart, length - fileNameStart, query);
}

bool ProcessNameBeginsWith(HANDLE process, const char* query)
{
    HMODULE mainModule = NULL;
    DWORD moduleBytes = 0;
    if (EnumProcessModules(process, &mainModule, sizeof mainModule, &moduleBytes) && mainModule)
    {
        char name[MAX_PATH];
        // A name that could not be read is never compared.
        return GetModuleBaseNameA(process, mainModule, name, MAX_PATH) != 0
            && NameBeginsWith(name, MAX_PATH, query);
    }
    // An ended process can still be opened while its process object lingers.
    return IsStillRunning(process) && ImageFileNameBeginsWith(process, query);
}

}  // namespace

int FindProcess(const char* query)
{
    if (query == NULL)
        return 0;
    for (DWORD position = 0; position < ProcessList.ProcessCount; ++position)
    {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                     ProcessList.ProcessIds[position]);
        if (process == NULL)
            continue;
        bool found = ProcessNameBeginsWith(process, query);
        CloseHandle(process);
        if (found)
            return 1;
    }
    return 0;
}
