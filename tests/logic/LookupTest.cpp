#include "LibraryTest.h"

namespace {

using LookupTest = LibraryTest;

TEST_F(LookupTest, NullQueryOrEmptySnapshotMakesNoPlatformCall)
{
    EXPECT_EQ(FindProcess("viewer"), 0);
    EXPECT_EQ(FindProcess(""), 0);
    Snapshot({RunningProcess(4, "viewer.exe")});
    EXPECT_EQ(FindProcess(nullptr), 0);
    EXPECT_TRUE(Platform.calls.empty());
}

TEST_F(LookupTest, QueryIsACaseInsensitivePrefixOfTheModuleName)
{
    struct Case { const char* moduleName; const char* query; int found; };
    const Case cases[] = {
        {"viewer.exe", "viewer", 1},
        {"viewer.exe", "VIEWER.EXE", 1},
        {"viewer.exe", "view", 1},
        {"viewer.exe", "ViEwEr", 1},
        {"VIEWER.EXE", "viewer.exe", 1},
        {"viewer.exe", "", 1},
        {"viewer.exe", "viewer.exe.bak", 0},
        {"viewer.exe", "wer", 0},
        {"viewer.exe", "viewer ", 0},
        {"[a]@.exe", "{A}`", 0},             // neighbours of the letters are not folded
        {"@gv.exe", "`gv", 0},
        {"`gv.exe", "@gv", 0},
        {"[gv.exe", "{gv", 0},
        {"{gv.exe", "[gv", 0},
        {"??zq.exe", "??zq", 0},             // '?' stands for a character the code page lost
        {"a?zq.exe", "A?", 0},
        {"gv?.exe", "GV", 1},                // beyond the query it is not compared
        {"\xC9t\xE9.exe", "\xC9t\xE9", 1},   // bytes above 0x7F match only themselves
        {"\xC9t\xE9.exe", "\xE9t\xE9", 0},
        {"\xC9t\xE9.exe", "\xC9T\xC9", 0},
    };
    for (const Case& c : cases)
    {
        SetUp();
        Snapshot({RunningProcess(4, c.moduleName)});
        EXPECT_EQ(FindProcess(c.query), c.found) << c.moduleName << " / " << c.query;
    }
}

TEST_F(LookupTest, ComparisonStopsAtTheEndOfAFullNameBuffer)
{
    const std::string fullBuffer(MAX_PATH, 'a');  // fetched without a terminator
    Snapshot({RunningProcess(4, fullBuffer + "zzz")});
    EXPECT_EQ(FindProcess(fullBuffer.c_str()), 1);
    EXPECT_EQ(FindProcess((fullBuffer + "z").c_str()), 0);
    EXPECT_EQ(FindProcess(std::string(100000, 'a').c_str()), 0);
}

TEST_F(LookupTest, EveryOpenedProcessIsClosedOnceOnEveryPath)
{
    ScriptedProcess locked = RunningProcess(4, "viewer.exe");
    locked.opens = false;
    ScriptedProcess unlistable = RunningProcess(8, "other.exe");
    unlistable.listsModules = false;
    ScriptedProcess nullModule = RunningProcess(12, "other.exe");
    nullModule.nullModule = true;
    ScriptedProcess unnamed = RunningProcess(16, "viewer.exe");
    unnamed.fetchesName = false;
    ScriptedProcess ended = RunningProcess(20, "viewer.exe");
    ended.listsModules = false;
    ended.exitCode = 0;
    ScriptedProcess noImagePath = RunningProcess(24, "viewer.exe");
    noImagePath.listsModules = false;
    noImagePath.hasImagePath = false;
    ScriptedProcess unknownExit = RunningProcess(28, "viewer.exe");
    unknownExit.listsModules = false;
    unknownExit.readsExitCode = false;
    Snapshot({locked, unlistable, nullModule, unnamed, ended, noImagePath, unknownExit,
              RunningProcess(32, "other.exe")});

    EXPECT_EQ(FindProcess("viewer"), 0);
    EXPECT_EQ(Platform.opened, (std::vector<DWORD>{8, 12, 16, 20, 24, 28, 32}));
    EXPECT_EQ(CallCount("GetModuleBaseNameA 8") + CallCount("GetModuleBaseNameA 12"), 0u);
    EXPECT_EQ(CallCount("QueryFullProcessImageNameA 20") + CallCount("QueryFullProcessImageNameA 28"), 0u);
    ExpectEveryOpenClosedOnce();
}

TEST_F(LookupTest, FirstMatchEndsTheScanWithItsHandleClosed)
{
    Snapshot({RunningProcess(4, "other.exe"), RunningProcess(8, "viewer.exe"),
              RunningProcess(12, "viewer.exe")});
    EXPECT_EQ(FindProcess("viewer"), 1);
    EXPECT_EQ(Platform.opened, (std::vector<DWORD>{4, 8}));
    EXPECT_EQ(Platform.calls.back(), "CloseHandle 8");
    ExpectEveryOpenClosedOnce();
}

TEST_F(LookupTest, ProcessWhoseNameCannotBeReadIsSkipped)
{
    ScriptedProcess unnamed = RunningProcess(8, "unknown.exe");
    unnamed.fetchesName = false;
    Snapshot({unnamed});
    EXPECT_EQ(FindProcess(""), 0);
    EXPECT_EQ(FindProcess("unknown"), 0);

    SetUp();
    Snapshot({RunningProcess(4, "viewer.exe"), unnamed});
    EXPECT_EQ(FindProcess("viewer.exe"), 1);
    EXPECT_EQ(FindProcess("vi"), 1);
    Platform.opened.clear();
    EXPECT_EQ(FindProcess("unk"), 0);  // the name fetched before is not reused
    EXPECT_EQ(Platform.opened, (std::vector<DWORD>{4, 8}));
}

TEST_F(LookupTest, UnlistableModulesFallBackToTheImageFileNameOfARunningProcess)
{
    ScriptedProcess wide = RunningProcess(4, "ignored");  // as a 64-bit process seen from 32 bits
    wide.listsModules = false;
    wide.imagePath = "C:\\Program Files\\Viewer\\viewer64.exe";
    ScriptedProcess nullModule = RunningProcess(8, "ignored");
    nullModule.nullModule = true;
    nullModule.imagePath = "D:\\tools\\Editor.EXE";
    ScriptedProcess ended = RunningProcess(12, "ignored");
    ended.listsModules = false;
    ended.exitCode = 1;  // neither 0 nor STILL_ACTIVE
    ended.imagePath = "C:\\gone\\player.exe";
    ScriptedProcess unreadable = RunningProcess(16, "ignored");  // the failed call still writes its path
    unreadable.listsModules = false;
    unreadable.hasImagePath = false;
    unreadable.imagePath = "C:\\hidden\\secret.exe";
    ScriptedProcess lostCharacters = RunningProcess(20, "ignored");
    lostCharacters.listsModules = false;
    lostCharacters.imagePath = "C:\\??\\??zq.exe";
    Snapshot({wide, nullModule, ended, unreadable, lostCharacters});

    EXPECT_EQ(FindProcess("VIEWER64.exe"), 1);
    EXPECT_EQ(FindProcess("editor.exe"), 1);
    EXPECT_EQ(FindProcess("Program"), 0);      // only the file name counts
    EXPECT_EQ(FindProcess("viewer64.exe!"), 0);
    EXPECT_EQ(FindProcess("player"), 0);       // ended, though its object lingers
    EXPECT_EQ(FindProcess("ignored"), 0);
    EXPECT_EQ(FindProcess("secret"), 0);
    EXPECT_EQ(FindProcess("??zq"), 0);
    ExpectEveryOpenClosedOnce();
}

TEST_F(LookupTest, DoubleByteCharactersAreNeverSplitOnEitherPath)
{
    // Code page 932: \x95\x5C is one character whose second byte is '\',
    // \x83\x41 and \x83\x61 are two characters whose second bytes are 'A' and 'a'.
    ScriptedProcess viaModules = RunningProcess(4, "\x95\x5C\x83\x41GvA.exe");
    ScriptedProcess viaImagePath = RunningProcess(8, "ignored");
    viaImagePath.listsModules = false;
    viaImagePath.imagePath = "C:\\\x95\x5C\\\x95\x5C\x83\x41GvB.exe";
    // \x83\x81 is one character whose second byte lies in the lead-byte range.
    ScriptedProcess trailInLeadRange = RunningProcess(12, "\x83\x81GvC.exe");
    ScriptedProcess trailInLeadRangePath = RunningProcess(16, "ignored");
    trailInLeadRangePath.listsModules = false;
    trailInLeadRangePath.imagePath = "C:\\\x83\x81\\\x83\x81GvD.exe";
    struct Case { const char* query; int foundInCodePage932; int foundInSingleByteCodePage; };
    const Case cases[] = {
        {"\x95\x5C\x83\x41GvA", 1, 1},
        {"\x95\x5C\x83\x41gVb.EXE", 1, 0},  // a single-byte code page takes the name after the '\'
        {"\x83\x41GvB", 0, 1},
        {"\x95\x5C\x83\x61GvA", 0, 1},      // a trail byte is not a letter
        {"\x95\x5C\x83\x61GvB", 0, 0},
        {"\x83\x81gVc", 1, 1},              // the letter after it is folded
        {"\x83\x81gVd", 1, 1},
    };
    for (bool codePage932 : {true, false})
    {
        SetUp();
        Platform.leadBytes = codePage932 ? CodePage932LeadBytes() : "";
        Snapshot({viaModules, viaImagePath, trailInLeadRange, trailInLeadRangePath});
        for (const Case& c : cases)
            EXPECT_EQ(FindProcess(c.query), codePage932 ? c.foundInCodePage932 : c.foundInSingleByteCodePage)
                << c.query << (codePage932 ? " in code page 932" : " in a single-byte code page");
    }
}

TEST_F(LookupTest, ImagePathsOfOver1023CharactersAreRead)
{
    const std::string longFolder = "C:\\" + std::string(1000, 'd') + "\\";
    const std::string doubleByteFolder = "C:\\" + std::string(1000, '\x95') + "\\";  // 500 characters
    Platform.leadBytes = CodePage932LeadBytes();
    std::vector<ScriptedProcess> processes;
    for (const std::string& path : {longFolder + "GvLong" + std::string(17, 'x') + ".exe",
                                    doubleByteFolder + std::string(1032, '\x95') + "GvWide.exe",
                                    longFolder + std::string(1040, 'y') + "GvTooLong.exe",
                                    longFolder + std::string(1033, 'w') + "GvFull.exe",
                                    longFolder + std::string(1034, 'v') + "GvOver.exe"})
    {
        processes.push_back(RunningProcess(4 + 4 * processes.size(), "ignored"));
        processes.back().listsModules = false;
        processes.back().imagePath = path;
    }
    Snapshot(processes);
    ASSERT_EQ(processes[0].imagePath.size(), 1031u);
    ASSERT_EQ(processes[1].imagePath.size(), 2046u);  // as long as 1023 double-byte characters
    ASSERT_EQ(processes[3].imagePath.size(), 2047u);  // the longest path the lookup reads
    ASSERT_EQ(processes[4].imagePath.size(), 2048u);
    EXPECT_EQ(FindProcess("GvLong"), 1);
    EXPECT_EQ(FindProcess((std::string(1032, '\x95') + "GvWide").c_str()), 1);
    EXPECT_EQ(FindProcess(std::string(1040, 'y').c_str()), 0);  // beyond what is read
    EXPECT_EQ(FindProcess((std::string(1033, 'w') + "GvFull").c_str()), 1);
    EXPECT_EQ(FindProcess((std::string(1034, 'v') + "GvOver").c_str()), 0);
    ExpectEveryOpenClosedOnce();
}

TEST_F(LookupTest, LookupNeverChangesTheSnapshot)
{
    Snapshot({RunningProcess(4, "viewer.exe"), RunningProcess(8, "other.exe")});
    const ProcessSnapshot before = ProcessList;
    Platform.processes[0].opens = false;  // ended since the refresh
    EXPECT_EQ(FindProcess("viewer"), 0);
    EXPECT_EQ(FindProcess("other"), 1);
    EXPECT_EQ(ProcessList.ProcessCount, before.ProcessCount);
    EXPECT_TRUE(std::equal(std::begin(before.ProcessIds), std::end(before.ProcessIds),
                           std::begin(ProcessList.ProcessIds)));
}

}  // namespace
