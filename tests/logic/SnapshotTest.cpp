#include "LibraryTest.h"

namespace {

using SnapshotTest = LibraryTest;

std::vector<ScriptedProcess> ProcessesNamed(const char* name, DWORD count, DWORD firstId = 4)
{
    std::vector<ScriptedProcess> processes;
    for (DWORD i = 0; i < count; ++i)
        processes.push_back(RunningProcess(firstId + 4 * i, name));
    return processes;
}

TEST_F(SnapshotTest, CountsIdentifiersNotBytesAndKeepsPlatformOrder)
{
    Platform.listedIds = {88, 4, 1234};
    EXPECT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(Platform.calls, std::vector<std::string>{"EnumProcesses 4000"});
    ASSERT_EQ(ProcessList.ProcessCount, 3u);
    EXPECT_EQ(ProcessList.ProcessIds[0], 88u);
    EXPECT_EQ(ProcessList.ProcessIds[1], 4u);
    EXPECT_EQ(ProcessList.ProcessIds[2], 1234u);
}

TEST_F(SnapshotTest, MoreThanAThousandProcessesFillTheTable)
{
    Snapshot(ProcessesNamed("busy.exe", 1500));
    EXPECT_EQ(ProcessList.ProcessCount, 1000u);
    EXPECT_EQ(ProcessList.ProcessIds[999], 4u + 4 * 999);
}

TEST_F(SnapshotTest, FailedRefreshThrowsAwayAGoodSnapshot)
{
    Snapshot(ProcessesNamed("viewer.exe", 1000));
    Platform.listsProcesses = false;

    EXPECT_EQ(RefreshProcessList(), 0);
    EXPECT_EQ(ProcessList.ProcessCount, 0u);
    EXPECT_TRUE(std::all_of(std::begin(ProcessList.ProcessIds), std::end(ProcessList.ProcessIds),
                            [](DWORD id) { return id == 0; }));

    Platform.calls.clear();
    EXPECT_EQ(FindProcess(""), 0);
    EXPECT_TRUE(Platform.calls.empty());
}

TEST_F(SnapshotTest, EmptyListingIsASuccess)
{
    EXPECT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(ProcessList.ProcessCount, 0u);
}

TEST_F(SnapshotTest, ShrunkSnapshotNeverVisitsStaleEntries)
{
    Snapshot(ProcessesNamed("other.exe", 5));
    Platform.listedIds.resize(2);
    ASSERT_EQ(RefreshProcessList(), 1);
    EXPECT_EQ(ProcessList.ProcessCount, 2u);
    EXPECT_EQ(ProcessList.ProcessIds[4], 20u);  // left as it was, but out of reach

    EXPECT_EQ(FindProcess("other"), 1);
    Platform.opened.clear();
    EXPECT_EQ(FindProcess("viewer"), 0);
    EXPECT_EQ(Platform.opened, (std::vector<DWORD>{4, 8}));
}

}  // namespace
