// A caller built by the platform's own C++ ABI (clang for the MSVC target,
// lld-link, no C runtime) from the public header alone. Its exit code is 0 when
// every answer is right, else a bit for each wrong one. On x86 it is also
// built with stdcall as its default calling convention, as /Gz does.
#include "Gorvale.h"

extern "C" __declspec(dllimport) void __stdcall ExitProcess(unsigned exitCode);

extern "C" void __stdcall MsvcCallerEntry()
{
    unsigned wrong = 0;
    if (FindProcess("msvc-caller") != 0)  // nothing found before a refresh
        wrong |= 1;
    if (RefreshProcessList() != 1)
        wrong |= 2;
    if (FindProcess("MSVC-CALLER") != 1)
        wrong |= 4;
    if (FindProcess("") != 1)
        wrong |= 8;
    if (FindProcess("msvc-caller-no-such-process") != 0)
        wrong |= 16;
    if (FindProcess(nullptr) != 0)
        wrong |= 32;
    ExitProcess(wrong);
}
