// Many lookups, and lookups on many threads while processes come and go,
// against the real DLL.
#include "Gorvale.h"
#include "HelperProcess.h"
#include "ResourceProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::unique_ptr<HelperProcess>> StartHelpers(const char* prefix, int count)
{
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int i = 0; i < count; ++i)
        helpers.push_back(std::make_unique<HelperProcess>(prefix + std::to_string(i) + "x",
                                                          i % 2 ? "idle-helper-other.exe" : "idle-helper.exe"));
    return helpers;
}

TEST(Stress, ManyLookupsLeaveNoHandleAndNoMemoryBehind)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    const int lookups = StressSize(100000, 120);
    auto helpers = StartHelpers("GvStress", 20);
    struct Query { std::string name; int answer; };
    std::vector<Query> queries;
    for (int i = 0; i < 20; ++i)
        queries.push_back({"gvstress" + std::to_string(i) + "X", 1});
    queries.push_back({"GvStressMissing", 0});
    ASSERT_EQ(RefreshProcessList(), 1);
    for (const Query& query : queries)  // warm up
        FindProcess(query.name.c_str());

    ResourceProbe before, halfway;
    ULONGLONG start = GetTickCount64();
    int wrong = 0;
    for (int i = 0; i < lookups; ++i)
    {
        if (i == lookups / 2)
            halfway = ResourceProbe();
        const Query& query = queries[i % queries.size()];
        wrong += FindProcess(query.name.c_str()) != query.answer;
    }
    ULONGLONG elapsed = GetTickCount64() - start;
    ResourceProbe after;

    std::string run = std::to_string(lookups) + " lookups over 20 helpers in " + std::to_string(elapsed) + " ms";
    ResourceProbe::ExpectNothingLeftBehind(run.c_str(), before, halfway, after);
    EXPECT_EQ(wrong, 0);
}

TEST(Stress, EightThreadsWhileProcessesStartAndEnd)
{
    SKIP_UNLESS_OTHER_BITNESS_RUNS();
    const int rounds = StressSize(400, 10);
    HelperProcess steady("GvSteadyHelper", "idle-helper-other.exe");
    auto churned = StartHelpers("GvChurn", 4);
    ASSERT_EQ(RefreshProcessList(), 1);

    // What a serial lookup could answer: 1, 0, or either while a process comes and goes.
    struct Query { const char* name; bool mayBeFound; bool mayBeMissed; };
    const Query queries[] = {
        {"GvSteadyHelper", true, false}, {"", true, false}, {"GvNeverStarted", false, true},
        {"GvChurn", true, true},         {"gvchurn2x", true, true},
    };
    std::atomic<bool> stop(false);
    std::atomic<int> lookups(0), impossible(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            while (!stop)
                for (const Query& query : queries)
                {
                    bool found = FindProcess(query.name) == 1;
                    if (found ? !query.mayBeFound : !query.mayBeMissed)
                        ++impossible;
                    ++lookups;
                }
        });
    for (int round = 0; round < rounds; ++round)
    {
        churned[round % churned.size()].reset();
        churned[round % churned.size()] =
            std::make_unique<HelperProcess>("GvChurn" + std::to_string(round % churned.size()) + "x");
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();

    std::printf("stress: 8 threads made %d lookups while helpers ended and started %d times\n",
                lookups.load(), rounds);
    EXPECT_EQ(impossible, 0);
    EXPECT_GT(lookups, 0);
}

}  // namespace
