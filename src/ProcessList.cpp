#include "Gorvale.h"
#include "ProcessList.h"

#include <psapi.h>

// Static storage: zero-filled when the library is loaded, so it starts empty.
ProcessSnapshot ProcessList;

int RefreshProcessList()
{
    DWORD bytesWritten = 0;
    if (!EnumProcesses(ProcessList.ProcessIds, sizeof ProcessList.ProcessIds, &bytesWritten))
    {
        // A refused listing leaves no trace of the earlier snapshot. Volatile
        // stores, one by one: a compiler may turn a plain zeroing loop into a
        // call to memset, which a library without a runtime does not have.
        ProcessList.ProcessCount = 0;
        volatile DWORD* ids = ProcessList.ProcessIds;
        for (DWORD i = 0; i < MaxProcessIds; ++i)
            ids[i] = 0;
        return 0;
    }
    ProcessList.ProcessCount = static_cast<DWORD>(bytesWritten / sizeof(DWORD));
    return 1;
}

// The library keeps nothing per thread or per process to set up or release.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
