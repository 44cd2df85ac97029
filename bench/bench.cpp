// gorvale-bench: with N idle helper processes running, times Gorvale.dll side
// by side with (1) the very same platform calls written inline and (2) the
// usual alternative, a walk of a Toolhelp32 process snapshot; and, first, how
// long loading and unloading the DLL takes.
//   gorvale-bench [N...]    (default 20 100 300)
#include "Gorvale.h"
#include "HelperProcess.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const int Runs = 15;
const double MeasureAtLeastUs = 20000;

double NowUs()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1e6 / frequency.QuadPart;
}

char FoldAsciiCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The library's matching rule, restated so that the contenders share no code with it.
bool BeginsWith(const char* name, size_t capacity, const char* query)
{
    for (size_t i = 0; query[i] != '\0'; ++i)
        if (i == capacity || FoldAsciiCase(name[i]) != FoldAsciiCase(query[i]))
            return false;
    return true;
}

const int MaxHelpers = 900;

// (1) The platform calls the library makes, inline.
DWORD BareIds[1000];
DWORD BareCount;

int BareRefresh()
{
    DWORD bytes = 0;
    BareCount = EnumProcesses(BareIds, sizeof BareIds, &bytes) ? bytes / sizeof(DWORD) : 0;
    return BareCount != 0;
}

// Sets name to the process's name as the library sees it; false when unreadable.
bool BareNameOf(HANDLE process, std::string& name)
{
    HMODULE module = NULL;
    DWORD moduleBytes = 0;
    char buffer[MAX_PATH];
    if (EnumProcessModules(process, &module, sizeof module, &moduleBytes) && module)
    {
        if (!GetModuleBaseNameA(process, module, buffer, MAX_PATH))
            return false;
        name.assign(buffer, strnlen(buffer, MAX_PATH));
        return true;
    }
    DWORD exitCode = 0, length = MAX_PATH;
    if (!GetExitCodeProcess(process, &exitCode) || exitCode != STILL_ACTIVE
        || !QueryFullProcessImageNameA(process, 0, buffer, &length))
        return false;
    name.assign(buffer, length);
    name.erase(0, name.find_last_of('\\') + 1);
    return true;
}

int BareFind(const char* query)
{
    for (DWORD i = 0; i < BareCount; ++i)
    {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, BareIds[i]);
        if (!process)
            continue;
        std::string name;
        bool found = BareNameOf(process, name) && BeginsWith(name.c_str(), name.size() + 1, query);
        CloseHandle(process);
        if (found)
            return 1;
    }
    return 0;
}

// (2) A Toolhelp32 snapshot walk: it takes the list and looks in one go.
int ToolhelpFind(const char* query)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        found = BeginsWith(entry.szExeFile, sizeof entry.szExeFile, query);
    CloseHandle(snapshot);
    return found;
}

// Median microseconds per call of each contender, timed in turn within each
// run; the contender that goes first changes from run to run.
std::vector<double> MedianUs(const std::vector<std::function<int()>>& contenders)
{
    std::vector<int> repeats;
    for (const auto& contender : contenders)
    {
        double start = NowUs();
        contender();
        repeats.push_back(std::max(1, static_cast<int>(MeasureAtLeastUs / std::max(1.0, NowUs() - start))));
    }
    std::vector<std::vector<double>> samples(contenders.size());
    for (int run = 0; run < Runs; ++run)
        for (size_t turn = 0; turn < contenders.size(); ++turn)
        {
            size_t c = (run + turn) % contenders.size();
            double start = NowUs();
            for (int i = 0; i < repeats[c]; ++i)
                contenders[c]();
            samples[c].push_back((NowUs() - start) / repeats[c]);
        }
    std::vector<double> medians;
    for (std::vector<double>& sample : samples)
    {
        std::sort(sample.begin(), sample.end());
        medians.push_back(sample[sample.size() / 2]);
    }
    return medians;
}

struct Lookup
{
    const char* what;
    std::string query;
    DWORD examined;  // processes the scan opens or tries, up to and including the match
};

// Queries for a hit on the first listed process, on the last one that no
// earlier name shadows, and for a miss; from the list the library also sees.
std::vector<Lookup> ChooseLookups()
{
    std::vector<std::string> names(BareCount);
    std::vector<bool> readable(BareCount, false);
    for (DWORD i = 0; i < BareCount; ++i)
        if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, BareIds[i]))
        {
            readable[i] = BareNameOf(process, names[i]);
            CloseHandle(process);
        }
    auto shadowed = [&](DWORD last) {
        for (DWORD i = 0; i < last; ++i)
            if (readable[i] && BeginsWith(names[i].c_str(), names[i].size() + 1, names[last].c_str()))
                return true;
        return false;
    };
    std::vector<Lookup> lookups;
    for (DWORD i = 0; i < BareCount; ++i)
        if (readable[i])
        {
            lookups.push_back({"hit first", names[i], i + 1});
            break;
        }
    for (DWORD i = BareCount; i-- > 0;)
        if (readable[i] && !shadowed(i))
        {
            lookups.push_back({"hit last", names[i], i + 1});
            break;
        }
    lookups.push_back({"miss", "GvBenchNoSuchProcess", BareCount});
    return lookups;
}

void PrintRow(int helpers, const char* what, DWORD examined, const std::vector<double>& us)
{
    std::printf("| %7d | %-9s | %8lu | %10.1f | %11.2f | %9.1f | %12.3f | %11.1f | %16.3f |\n", helpers, what,
                static_cast<unsigned long>(examined), us[0], us[0] / std::max<DWORD>(1, examined), us[1],
                us[0] / us[1], us[2], us[0] / us[2]);
}

// Microseconds to load and unload the DLL. This program holds Gorvale.dll
// loaded, so a copy under another name is what comes and goes.
double LoadAndUnloadUs()
{
    std::string copy = TemporaryPath("gorvale-bench") + ".dll";
    if (!CopyFileA((ProgramDirectory() + "Gorvale.dll").c_str(), copy.c_str(), FALSE))
        throw std::runtime_error("cannot copy Gorvale.dll to " + copy);
    double us = MedianUs({[&] {
        HMODULE module = LoadLibraryA(copy.c_str());
        return module && FreeLibrary(module);
    }})[0];
    DeleteFileA(copy.c_str());
    return us;
}

}  // namespace

int main(int argc, char** argv)
{
    // The snapshot holds 1000 processes, the system's own among them: past
    // that, the last helper is not in it and "hit last" would time a miss.
    std::vector<int> helperCounts;
    for (int i = 1; i < argc; ++i)
    {
        char* end = nullptr;
        long count = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || count < 1 || count > MaxHelpers)
        {
            std::fprintf(stderr, "gorvale-bench: helper counts are whole numbers from 1 to %d, not '%s'\n"
                                 "Usage: gorvale-bench [N...]\n", MaxHelpers, argv[i]);
            return 2;
        }
        helperCounts.push_back(static_cast<int>(count));
    }
    if (helperCounts.empty())
        helperCounts = {20, 100, 300};

    const char* wine = WineVersion();
    std::printf("Gorvale.dll (%s) under %s%s; median of %d runs; microseconds\n\n",
                sizeof(void*) == 8 ? "x64" : "x86", wine ? "Wine " : "Windows", wine ? wine : "",
                Runs);
    try
    {
        std::printf("| operation     | library us |\n|---------------|-----------:|\n");
        std::printf("| load + unload | %10.1f |\n\n", LoadAndUnloadUs());
        std::printf("| helpers | operation | examined | library us | us/examined | bare us | library/bare "
                    "| toolhelp us | library/toolhelp |\n");
        std::printf("|--------:|-----------|---------:|-----------:|------------:|--------:|-------------:"
                    "|------------:|-----------------:|\n");
        std::vector<std::unique_ptr<HelperProcess>> helpers;
        for (int count : helperCounts)
        {
            while (static_cast<int>(helpers.size()) < count)
            {
                char name[32];
                std::snprintf(name, sizeof name, "GvBench%03u", static_cast<unsigned>(helpers.size()));
                helpers.push_back(std::make_unique<HelperProcess>(name));
            }
            RefreshProcessList();
            BareRefresh();
            if (BareCount == std::size(BareIds))
                throw std::runtime_error("with " + std::to_string(count) + " helpers this system runs "
                                         + std::to_string(std::size(BareIds))
                                         + " processes or more, more than the snapshot holds: choose fewer");
            PrintRow(count, "refresh", BareCount,
                     MedianUs({RefreshProcessList, BareRefresh, [] { return ToolhelpFind("GvBenchNoSuchProcess"); }}));
            for (const Lookup& lookup : ChooseLookups())
            {
                const char* query = lookup.query.c_str();
                PrintRow(count, lookup.what, lookup.examined,
                         MedianUs({[=] { return FindProcess(query); }, [=] { return BareFind(query); },
                                   [=] { return ToolhelpFind(query); }}));
            }
        }
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "gorvale-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
