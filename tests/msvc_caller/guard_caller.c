// A program built with Control Flow Guard over the library's own load
// configuration, with no runtime. It makes three indirect calls, to a function
// of its own and to both exports through addresses from GetProcAddress; each
// must reach its target, both where the loader enforces the guard (the
// exports must then be valid call targets) and where it leaves the load
// configuration's default routines in place (Windows before 8.1, Wine).
// Exit status 0 when every call arrived and answered right, else which did not.
#include <windows.h>

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
    UINT wrong = 0;
    if (ownFunction() != 42)
        wrong |= 1;
    HMODULE gorvale = LoadLibraryExA("Gorvale.dll", NULL,
                                   LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    refreshProcessList = (int (__cdecl*)(void))GetProcAddress(gorvale, MAKEINTRESOURCEA(2));
    findProcess = (int (__cdecl*)(const char*))GetProcAddress(gorvale, MAKEINTRESOURCEA(1));
    if (!refreshProcessList || !findProcess)
        ExitProcess(wrong | 2);
    if (refreshProcessList() != 1)
        wrong |= 4;
    if (findProcess("guard-caller.exe") != 1 || findProcess("guard-caller-no-such-process") != 0)
        wrong |= 8;
    ExitProcess(wrong);
}
