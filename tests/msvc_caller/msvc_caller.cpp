// A caller built by the platform's own C++ ABI (clang for the MSVC target,
// lld-link, no C runtime) from the public header alone. It names each wrong
// answer. On x86 it is also built with stdcall as its default calling
// convention, as /Gz does.
#include "Gorvale.h"

#include "Answers.h"

extern "C" void __stdcall MsvcCallerEntry()
{
    EXPECT_ANSWER(FindProcess("msvc-caller"), 0);  // nothing found before a refresh
    EXPECT_ANSWER(RefreshProcessList(), 1);
    EXPECT_ANSWER(FindProcess("MSVC-CALLER"), 1);
    EXPECT_ANSWER(FindProcess(""), 1);
    EXPECT_ANSWER(FindProcess("msvc-caller-no-such-process"), 0);
    EXPECT_ANSWER(FindProcess(nullptr), 0);
    FINISH("msvc-caller");
}
