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
        // A refused listing leaves no trace of the earlier snapshot.
        ProcessList.ProcessCount = 0;
        for (DWORD& id : ProcessList.ProcessIds)
            id = 0;
        return 0;
    }
    ProcessList.ProcessCount = bytesWritten / sizeof(DWORD);
    return 1;
}

// The library keeps nothing per thread or per process to set up or release.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
