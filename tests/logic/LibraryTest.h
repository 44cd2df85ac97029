// Fixture for the library's logic: a freshly loaded library on a scripted platform.
#ifndef LIBRARY_TEST_H
#define LIBRARY_TEST_H

#include "Gorvale.h"
#include "ProcessList.h"
#include "ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform = ScriptedPlatform();
        ProcessList = ProcessSnapshot();
    }

    // Makes the platform list exactly these processes and refreshes.
    void Snapshot(const std::vector<ScriptedProcess>& processes)
    {
        Platform.processes = processes;
        Platform.listedIds.clear();
        for (const ScriptedProcess& process : processes)
            Platform.listedIds.push_back(process.id);
        ASSERT_EQ(RefreshProcessList(), 1);
        Platform.calls.clear();
    }

    static size_t CallCount(const std::string& call)
    {
        return std::count(Platform.calls.begin(), Platform.calls.end(), call);
    }

    static void ExpectEveryOpenClosedOnce()
    {
        EXPECT_TRUE(Platform.openHandles.empty());
        EXPECT_EQ(Platform.faults, std::vector<std::string>());
        EXPECT_LE(Platform.mostOpenAtOnce, 1u);
        for (DWORD id : Platform.opened)
            EXPECT_EQ(CallCount("CloseHandle " + std::to_string(id)),
                      CallCount("OpenProcess " + std::to_string(id)))
                << "process " << id;
    }
};

#endif
