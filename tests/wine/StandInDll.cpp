// Stand-ins for Gorvale.dll that misbehave, for testing that callers which
// cannot get an answer say so instead of taking "not running" for one, and
// for testing that the tests themselves fail over a DLL that answers wrong.
// Built with the DLL's exports and STAND_IN_REFRESH_RESULT 0, every refresh
// fails; with 1, every refresh succeeds and nothing is ever found. Built
// without the exports, or for the other bitness, it stands in for the wrong
// DLL.
#include "Gorvale.h"

int RefreshProcessList()
{
    return STAND_IN_REFRESH_RESULT;
}

int FindProcess(const char*)
{
    return 0;
}
