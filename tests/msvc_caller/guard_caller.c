// A program built with Control Flow Guard over the library's own load
// configuration, with no runtime. It makes three indirect calls, to a function
// of its own and to both exports through addresses from GetProcAddress; each
// must reach its target, both where the loader enforces the guard (the
// exports must then be valid call targets) and where it leaves the load
// configuration's default routines in place (Windows before 8.1, Wine). It
// names each wrong answer.
#include <windows.h>

#include "Answers.h"

static int FortyTwo(void)
{
    return 42;
}

// Volatile, so that the compiler cannot turn the calls into direct ones.
static int (*volatile ownFunction)(void) = FortyTwo;
static int (__cdecl* volatile refreshProcessList)(void);
static int (__cdecl* volatile findProcess)(const char*);

void __stdcall GuardCallerEntry(void)
{
    EXPECT_ANSWER(ownFunction(), 42);
    HMODULE gorvale = LoadLibraryExA("Gorvale.dll", NULL,
                                   LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    refreshProcessList = (int (__cdecl*)(void))GetProcAddress(gorvale, MAKEINTRESOURCEA(2));
    findProcess = (int (__cdecl*)(const char*))GetProcAddress(gorvale, MAKEINTRESOURCEA(1));
    EXPECT_ANSWER(refreshProcessList != NULL && findProcess != NULL, 1);
    if (!refreshProcessList || !findProcess)
        FINISH("guard-caller");
    EXPECT_ANSWER(refreshProcessList(), 1);
    EXPECT_ANSWER(findProcess("guard-caller.exe"), 1);
    EXPECT_ANSWER(findProcess("guard-caller-no-such-process"), 0);
    FINISH("guard-caller");
}
