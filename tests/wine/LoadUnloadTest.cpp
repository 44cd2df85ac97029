// The DLL loaded at run time and looked up by its exported names and ordinals.
#include "HelperProcess.h"
#include "ResourceProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The base that the file of the DLL beside this program asks for.
ULONG_PTR PreferredBase()
{
    char path[MAX_PATH];
    std::string dll(path, GetModuleFileNameA(NULL, path, MAX_PATH));
    dll = dll.substr(0, dll.find_last_of('\\') + 1) + "Gorvale.dll";
    IMAGE_DOS_HEADER dos = {};
    IMAGE_NT_HEADERS headers = {};
    HANDLE file = CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE && ReadFile(file, &dos, sizeof dos, &read, NULL)
        && SetFilePointer(file, dos.e_lfanew, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
        ReadFile(file, &headers, sizeof headers, &read, NULL);
    CloseHandle(file);
    return headers.OptionalHeader.ImageBase;
}

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

// The DLL carries relocation data, so a loader may place it anywhere, and it
// must answer from there: any loader moves it when its preferred base is
// taken, as here.
TEST(LoadUnload, AnswersWhenItsPreferredBaseIsTaken)
{
    const ULONG_PTR preferred = PreferredBase();
    ASSERT_NE(preferred, 0u);
    void* taken = VirtualAlloc(reinterpret_cast<void*>(preferred), 0x10000, MEM_RESERVE, PAGE_NOACCESS);
    {
        LoadedLibrary library;
        ASSERT_NE(library.findProcess, nullptr);
        EXPECT_NE(reinterpret_cast<ULONG_PTR>(library.module), preferred);
        EXPECT_EQ(library.refreshProcessList(), 1);
        EXPECT_EQ(library.findProcess("load-unload-tests"), 1);
    }
    if (taken)
        VirtualFree(taken, 0, MEM_RELEASE);
}

// Windows moves a DLL marked for ASLR away from its preferred base by itself.
// Wine promises nothing here (8 keeps a free base, 10 moves the DLL), so under
// Wine where it went is only said.
TEST(LoadUnload, AnswersWhereAslrPlacesIt)
{
    LoadedLibrary library;
    ASSERT_NE(library.findProcess, nullptr);
    const bool moved = reinterpret_cast<ULONG_PTR>(library.module) != PreferredBase();
    if (const char* wine = WineVersion())
        std::printf("Wine %s %s the DLL at its preferred base: ASLR is judged on Windows only\n", wine,
                    moved ? "did not load" : "kept");
    else
        EXPECT_TRUE(moved) << "Windows left the DLL at its preferred base: it has no dynamic-base mark";
    EXPECT_EQ(library.refreshProcessList(), 1);
    EXPECT_EQ(library.findProcess("load-unload-tests"), 1);
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
