// What a stress run watches in its own process: handles and private memory.
// Wine 8 counts no handles (GetProcessHandleCount gives 0), but it hands out
// the lowest free handle slot: while nothing leaks, the same slot comes back.
// Nor does it fill PrivateUsage; PagefileUsage, the commit charge that Windows
// reports as private bytes too, it does fill. The sum of committed private
// regions is a second, independent count.
#ifndef RESOURCE_PROBE_H
#define RESOURCE_PROBE_H

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

inline HANDLE LowestFreeHandleSlot()
{
    HANDLE probe = CreateEventA(NULL, TRUE, FALSE, NULL);
    CloseHandle(probe);
    return probe;
}

inline SIZE_T CommitCharge()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

inline SIZE_T CommittedPrivateRegions()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = NULL; VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize)
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
    return total;
}

struct ResourceProbe
{
    HANDLE freeSlot = LowestFreeHandleSlot();
    SIZE_T commitCharge = CommitCharge();
    SIZE_T committedPrivate = CommittedPrivateRegions();

    // Prints before and after, and checks that nothing was left behind.
    static void ExpectNothingLeftBehind(const char* run, const ResourceProbe& before, const ResourceProbe& after)
    {
        std::printf("stress: %s; lowest free handle slot %p before, %p after; commit charge %lu KiB before, "
                    "%lu KiB after; committed private regions %lu KiB before, %lu KiB after\n",
                    run, before.freeSlot, after.freeSlot, static_cast<unsigned long>(before.commitCharge / 1024),
                    static_cast<unsigned long>(after.commitCharge / 1024),
                    static_cast<unsigned long>(before.committedPrivate / 1024),
                    static_cast<unsigned long>(after.committedPrivate / 1024));
        EXPECT_EQ(after.freeSlot, before.freeSlot) << run;
        EXPECT_LE(after.commitCharge, before.commitCharge + Tolerance) << run;
        EXPECT_LE(after.committedPrivate, before.committedPrivate + Tolerance) << run;
    }

    static const SIZE_T Tolerance = 64 * 1024;
};

// Full size when GORVALE_STRESS=full (scripts/stress.sh), else a few seconds' worth.
inline int StressSize(int full, int reduced)
{
    const char* size = std::getenv("GORVALE_STRESS");
    return size && std::strcmp(size, "full") == 0 ? full : reduced;
}

#endif
