// The real DLL against real processes, called the way a g++ program calls it:
// through the header and the MinGW import library.
#include "Gorvale.h"
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RealProcesses, FoundByExactNameByPrefixAndInOtherCase)
{
    HelperProcess helper("GvAlphaHelper");
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess("GvAlphaHelper.exe"), 1);
    EXPECT_EQ(FindProcess("GvAlpha"), 1);
    EXPECT_EQ(FindProcess("gVaLpHaHeLpEr.EXE"), 1);
    EXPECT_EQ(FindProcess("GvAlphaHelper.exe.bak"), 0);
    EXPECT_EQ(FindProcess("AlphaHelper"), 0);
    EXPECT_EQ(FindProcess("GvNoSuchHelper"), 0);
}

TEST(RealProcesses, StartedAfterTheRefreshIsFoundOnlyAfterTheNext)
{
    ASSERT_EQ(RefreshProcessList(), 1);
    HelperProcess helper("GvLateHelper");
    EXPECT_EQ(FindProcess("GvLateHelper"), 0);
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess("GvLateHelper"), 1);
}

TEST(RealProcesses, EndedProcessIsNotFoundWhileItsObjectLingers)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess helper("GvEndedHelper");
    HelperProcess otherHelper("GvEndedOtherHelper", "idle-helper-other.exe");
    ASSERT_EQ(RefreshProcessList(), 1);
    ASSERT_EQ(FindProcess("GvEndedHelper"), 1);
    ASSERT_EQ(FindProcess("GvEndedOtherHelper"), 1);
    helper.End();
    otherHelper.End();
    EXPECT_EQ(FindProcess("GvEndedHelper"), 0);
    EXPECT_EQ(FindProcess("GvEndedOtherHelper"), 0);
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess("GvEnded"), 0);
}

TEST(RealProcesses, FindsTheCallersOwnExecutable)
{
    char path[MAX_PATH];
    std::string ownPath(path, GetModuleFileNameA(NULL, path, MAX_PATH));
    std::string ownName = ownPath.substr(ownPath.find_last_of('\\') + 1);
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess(ownName.c_str()), 1) << ownName;
}

TEST(RealProcesses, FindsAProcessOfTheOtherBitness)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess otherHelper("GvOtherBitnessHelper", "idle-helper-other.exe");
    BOOL callerIsWow64 = FALSE, helperIsWow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &callerIsWow64));
    ASSERT_TRUE(IsWow64Process(otherHelper.Handle(), &helperIsWow64));
    ASSERT_NE(callerIsWow64, helperIsWow64) << "the helper should be of the other bitness";

    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess("GvOtherBitnessHelper.exe"), 1);
    EXPECT_EQ(FindProcess("gvotherbit"), 1);
    EXPECT_EQ(FindProcess("GvOtherBitnessHelper.exe!"), 0);
}

TEST(RealProcesses, SameBitnessNamesComeFromTheModuleListing)
{
    // The helper poses under another name in its loader data; only a module
    // listing reads that, the image path keeps the file's own name.
    HelperProcess posing("GvPosingHelper", "idle-helper.exe", "GvPosedName.exe");
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess("GvPosedName"), 1);
    EXPECT_EQ(FindProcess("GvPosingHelper"), 0);
}

// Run under the ANSI code page 932 (Shift-JIS); the other tests leave it out.
TEST(CodePage932, DoubleByteNamesAreComparedCharacterByCharacter)
{
    SKIP_UNLESS_CODE_PAGE(932);
    // hyoA is 表ア: \x95\x5C is one character whose second byte is '\'; \x83\x41 and
    // \x83\x61 are two characters whose second bytes are 'A' and 'a'.
    const std::string hyoA = "\x95\x5C\x83\x41";
    for (const char* image : {"idle-helper.exe", "idle-helper-other.exe"})
    {
        SKIP_UNLESS_HELPER_STARTS(image);
        HelperProcess helper(hyoA + "GvKanji", image);
        ASSERT_EQ(helper.ImageFileName(), L"\u8868\u30A2GvKanji.exe");  // proves Wine passed the name intact

        ASSERT_EQ(RefreshProcessList(), 1);
        EXPECT_EQ(FindProcess((hyoA + "GvKanji.exe").c_str()), 1) << image;
        EXPECT_EQ(FindProcess((hyoA + "gVkAnJi").c_str()), 1) << image;
        EXPECT_EQ(FindProcess("\x83\x41GvKanji"), 0) << image;
        EXPECT_EQ(FindProcess("\x95\x5C\x83\x61GvKanji"), 0) << image;
    }
}

// Code page 1252 holds neither of the CJK characters in the helper's name: a
// caller in it fetches "??zq.exe", which no query matches, "??zq" least of all.
TEST(RealProcesses, CharactersTheCodePageLostNeverMatch)
{
    SKIP_UNLESS_CODE_PAGE(1252);  // under Wine, LC_ALL=C.UTF-8
    for (const char* image : {"idle-helper.exe", "idle-helper-other.exe"})
    {
        SKIP_UNLESS_HELPER_STARTS(image);
        HelperProcess helper(std::wstring(L"\u8868\u793Azq"), image);
        ASSERT_EQ(helper.ImageFileName(), L"\u8868\u793Azq.exe");  // proves Wine passed the name intact

        ASSERT_EQ(RefreshProcessList(), 1);
        EXPECT_EQ(FindProcess("??zq"), 0) << image;
        EXPECT_EQ(FindProcess("?"), 0) << image;
    }
}

TEST(RealProcesses, NullAndHugeQueriesReturnZero)
{
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(FindProcess(nullptr), 0);
    EXPECT_EQ(FindProcess(std::string(100000, 'a').c_str()), 0);
    EXPECT_EQ(FindProcess(std::string(100000, '\xFF').c_str()), 0);
    EXPECT_EQ(FindProcess("real-dll-tests"), 1);  // still answering afterwards
}

struct ThreadLookups
{
    const std::vector<std::string>* queries;
    std::vector<int> answers;
};

DWORD WINAPI LookUpRepeatedly(LPVOID parameter)
{
    ThreadLookups* lookups = static_cast<ThreadLookups*>(parameter);
    for (int round = 0; round < 20; ++round)
        for (const std::string& query : *lookups->queries)
            lookups->answers.push_back(FindProcess(query.c_str()));
    return 0;
}

TEST(RealProcesses, LookupsFromFourThreadsAtOnceAgree)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    HelperProcess first("GvThreadsOne");
    HelperProcess second("GvThreadsTwo", "idle-helper-other.exe");
    const std::vector<std::string> queries = {"GvThreadsOne", "gvthreadstwo", "GvThreadsThree", "real-dll-tests", ""};
    ASSERT_EQ(RefreshProcessList(), 1);
    std::vector<int> serial;
    for (const std::string& query : queries)
        serial.push_back(FindProcess(query.c_str()));
    ASSERT_EQ(serial, (std::vector<int>{1, 1, 0, 1, 1}));

    ThreadLookups lookups[4];
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i)
    {
        lookups[i].queries = &queries;
        threads[i] = CreateThread(NULL, 0, LookUpRepeatedly, &lookups[i], 0, NULL);
        ASSERT_NE(threads[i], nullptr);
    }
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (int i = 0; i < 4; ++i)
    {
        CloseHandle(threads[i]);
        for (size_t answer = 0; answer < lookups[i].answers.size(); ++answer)
            EXPECT_EQ(lookups[i].answers[answer], serial[answer % queries.size()])
                << "thread " << i << ", query \"" << queries[answer % queries.size()] << "\"";
    }
}

}  // namespace
