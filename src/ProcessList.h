// The snapshot that RefreshProcessList writes and FindProcess reads.
#ifndef GORVALE_PROCESS_LIST_H
#define GORVALE_PROCESS_LIST_H

#include <windows.h>

enum { MaxProcessIds = 1000 };

struct ProcessSnapshot
{
    DWORD ProcessIds[MaxProcessIds];  // in the order the platform listed them
    DWORD ProcessCount;               // valid entries at the front of ProcessIds
};

extern ProcessSnapshot ProcessList;

#endif
