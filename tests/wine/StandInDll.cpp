// Stand-ins for Gorvale.dll that misbehave, for testing that callers which
// cannot get an answer say so instead of taking "not running" for one. Built
// with the DLL's exports, every refresh fails. Built without the exports, or
// for the other bitness, it stands in for the wrong DLL.
#include "Gorvale.h"

int RefreshProcessList()
{
    return 0;
}

int FindProcess(const char*)
{
    return 0;
}
