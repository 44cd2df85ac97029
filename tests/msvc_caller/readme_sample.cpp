// The README's sample of loading the DLL at run time, as a caller copies it
// from the page (the build cuts it out into readme-sample.inc), compiled with
// stdcall as the default calling convention (/Gz). A pointer declared without
// its convention would then leave 4 bytes on the stack at each call: the
// 300,000 calls before a refresh, which answer at once, would overflow it.
#include <windows.h>

#include "Answers.h"

extern "C" void __stdcall ReadmeSampleEntry()
{
#include "readme-sample.inc"
    int foundAny = 0;
    for (int call = 0; call < 300000; ++call)
        foundAny |= find("readme-sample");
    EXPECT_ANSWER(foundAny, 0);  // nothing found before a refresh
    EXPECT_ANSWER(refresh(), 1);
    EXPECT_ANSWER(find("README-SAMPLE"), 1);
    EXPECT_ANSWER(find("readme-sample-no-such-process"), 0);
    FINISH("readme-sample");
}
