// The DLL loaded at run time and looked up by its exported names and ordinals.
#include "ResourceProbe.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using FindProcessFunction = int (*)(const char*);
using RefreshProcessListFunction = int (*)();

struct LoadedLibrary
{
    HMODULE module = LoadLibraryA("Gorvale.dll");
    FindProcessFunction findProcess =
        reinterpret_cast<FindProcessFunction>(GetProcAddress(module, GORVALE_FIND_PROCESS_EXPORT));
    RefreshProcessListFunction refreshProcessList =
        reinterpret_cast<RefreshProcessListFunction>(GetProcAddress(module, GORVALE_REFRESH_PROCESS_LIST_EXPORT));
    ~LoadedLibrary() { FreeLibrary(module); }
};

TEST(LoadUnload, ExportsResolveByNameAndByOrdinal)
{
    LoadedLibrary library;
    ASSERT_NE(library.module, nullptr);
    ASSERT_NE(library.findProcess, nullptr);
    ASSERT_NE(library.refreshProcessList, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(library.module, MAKEINTRESOURCEA(1))),
              reinterpret_cast<void*>(library.findProcess));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(library.module, MAKEINTRESOURCEA(2))),
              reinterpret_cast<void*>(library.refreshProcessList));
    EXPECT_EQ(GetProcAddress(library.module, "FindProcess"), nullptr);
    EXPECT_EQ(GetProcAddress(library.module, "RefreshProcessList"), nullptr);
}

TEST(LoadUnload, ReloadingStartsWithAnEmptySnapshot)
{
    for (int cycle = 0; cycle < 3; ++cycle)
    {
        LoadedLibrary library;
        ASSERT_NE(library.findProcess, nullptr);
        EXPECT_EQ(library.findProcess(""), 0) << "cycle " << cycle;  // nothing survived the unload
        ASSERT_EQ(library.refreshProcessList(), 1);
        EXPECT_EQ(library.findProcess(""), 1);
        EXPECT_EQ(library.findProcess("load-unload-tests"), 1);
    }
    EXPECT_EQ(GetModuleHandleA("Gorvale.dll"), nullptr);
}

TEST(LoadUnload, ManyCyclesEachWithARefreshAndALookup)
{
    const int cycles = StressSize(200, 20);
    ResourceProbe before, halfway;
    int wrong = 0;
    for (int cycle = 0; cycle < cycles; ++cycle)
    {
        if (cycle == cycles / 2)
            halfway = ResourceProbe();
        LoadedLibrary library;
        wrong += library.findProcess("") != 0;
        wrong += library.refreshProcessList() != 1;
        wrong += library.findProcess("load-unload-tests") != 1;
    }
    ResourceProbe after;
    std::string run = std::to_string(cycles) + " load/unload cycles";
    ResourceProbe::ExpectNothingLeftBehind(run.c_str(), before, halfway, after);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(GetModuleHandleA("Gorvale.dll"), nullptr);
}

}  // namespace
