// What a stress run watches in its own process: handles and private memory.
// Windows counts the handles (GetProcessHandleCount). Wine 8 counts none (it
// gives 0), but it hands out the lowest free handle slot: while nothing leaks,
// the same slot comes back.
// Nor does it fill PrivateUsage; PagefileUsage, the commit charge that Windows
// reports as private bytes too, it does fill. The sum of committed private
// regions is a second, independent count. Under Wine on a host that emulates
// 32-bit x86 (scripts/wine-run.sh says so in GORVALE_X86_HOST), the emulator's
// own memory, its translation cache, counts in a 32-bit program's commit
// charge; only the committed private regions are the program's there.
#ifndef RESOURCE_PROBE_H
#define RESOURCE_PROBE_H

#include "HelperProcess.h"

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>

inline HANDLE LowestFreeHandleSlot()
{
    HANDLE probe = CreateEventA(NULL, TRUE, FALSE, NULL);
    CloseHandle(probe);
    return probe;
}

inline DWORD HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

inline SIZE_T CommitCharge()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

inline bool CommitChargeIsTheProgramsOwn()
{
    return sizeof(void*) == 8 || !EnvironmentIs("GORVALE_X86_HOST", "emulated");
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
    DWORD handleCount = HandleCount();
    SIZE_T commitCharge = CommitCharge();
    SIZE_T committedPrivate = CommittedPrivateRegions();

    // Prints the probes taken before a run, halfway and after it, and checks
    // that nothing was left behind. Wine's own heaps grow now and then by a
    // block, once; a leak grows memory in both halves of the run.
    static void ExpectNothingLeftBehind(const char* run, const ResourceProbe& before, const ResourceProbe& halfway,
                                        const ResourceProbe& after)
    {
        std::printf("stress: %s; %lu handles before, %lu after; lowest free handle slot %p before, %p after; "
                    "commit charge %lu, %lu, %lu KiB before, halfway, after; committed private regions %lu, %lu, "
                    "%lu KiB\n",
                    run, before.handleCount, after.handleCount, before.freeSlot, after.freeSlot,
                    KiB(before.commitCharge), KiB(halfway.commitCharge), KiB(after.commitCharge),
                    KiB(before.committedPrivate), KiB(halfway.committedPrivate), KiB(after.committedPrivate));
        // Windows hands freed slots out again in no fixed order, and its
        // thread pool may hold a few handles more or less at any moment: a
        // leak of one handle per lookup or cycle shows in the count.
        if (before.handleCount != 0)
            EXPECT_LE(after.handleCount, before.handleCount + 16) << run;
        else
            EXPECT_EQ(after.freeSlot, before.freeSlot) << run;
        if (CommitChargeIsTheProgramsOwn())
            ExpectNoSteadyGrowth("commit charge", before.commitCharge, halfway.commitCharge, after.commitCharge);
        else
            std::printf("stress: the commit charge is not judged: it holds the x86 emulator's memory too\n");
        ExpectNoSteadyGrowth("committed private regions", before.committedPrivate, halfway.committedPrivate,
                             after.committedPrivate);
    }

private:
    static unsigned long KiB(SIZE_T bytes) { return static_cast<unsigned long>(bytes / 1024); }

    static void ExpectNoSteadyGrowth(const char* what, SIZE_T before, SIZE_T halfway, SIZE_T after)
    {
        const SIZE_T slack = 16 * 1024;
        SIZE_T firstHalf = halfway > before ? halfway - before : 0;
        SIZE_T secondHalf = after > halfway ? after - halfway : 0;
        EXPECT_FALSE(firstHalf > slack && secondHalf > slack)
            << what << " grew in both halves: " << KiB(firstHalf) << " and " << KiB(secondHalf) << " KiB";
    }
};

// Full size when GORVALE_STRESS=full (scripts/stress.sh), else a few seconds' worth.
inline int StressSize(int full, int reduced)
{
    return EnvironmentIs("GORVALE_STRESS", "full") ? full : reduced;
}

#endif
