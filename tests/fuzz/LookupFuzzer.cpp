// Drives the lookup with arbitrary queries on an arbitrary scripted platform
// and checks each answer, and each process visited, against a plain reference
// of the matching rules.
#include "Gorvale.h"
#include "ProcessList.h"
#include "ScriptedPlatform.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "lookup fuzzer: %s\n", what);
        std::abort();
    }
}

// The lookup reads image paths shorter than this many bytes.
const size_t ImagePathCapacity = 2048;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The characters of text in the ANSI code page: a lead byte with the byte
// after it, or a single byte.
std::vector<std::string> Characters(const std::string& text)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size(); i += characters.back().size())
        characters.push_back(text.substr(i, IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1));
    return characters;
}

// Text with every single-byte letter in lower case.
std::string Folded(const std::string& text)
{
    std::string folded;
    for (const std::string& character : Characters(text))
        folded += character.size() == 1 ? std::string(1, Lower(character[0])) : character;
    return folded;
}

// The name the lookup should compare, or false when the process is skipped.
bool ExpectedName(const ScriptedProcess& process, std::string& name)
{
    if (process.listsModules && !process.nullModule)
    {
        if (!process.fetchesName || process.moduleName.empty())
            return false;
        name = process.moduleName.substr(0, MAX_PATH);
    }
    else
    {
        if (!process.readsExitCode || process.exitCode != STILL_ACTIVE || !process.hasImagePath
            || process.imagePath.size() >= ImagePathCapacity)
            return false;
        name.clear();
        for (const std::string& character : Characters(process.imagePath))
            name = character == "\\" ? "" : name + character;
    }
    name = name.substr(0, name.find('\0'));
    return true;
}

// A '?' stands for a lost character and matches nothing.
bool Matches(const std::string& name, const std::string& query)
{
    return Folded(name).compare(0, query.size(), Folded(query)) == 0
        && name.find('?') >= query.size();
}

// What the lookup should answer, and which processes it should open.
int Reference(const char* query, std::vector<DWORD>& opened)
{
    if (!query || !Platform.listsProcesses)
        return 0;
    size_t listed = std::min<size_t>(Platform.listedIds.size(), MaxProcessIds);
    for (size_t i = 0; i < listed; ++i)
    {
        auto process = std::find_if(Platform.processes.begin(), Platform.processes.end(),
                                    [&](const ScriptedProcess& p) { return p.id == Platform.listedIds[i]; });
        if (process == Platform.processes.end() || !process->opens)
            continue;
        opened.push_back(process->id);
        std::string name;
        if (ExpectedName(*process, name) && Matches(name, query))
            return 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Platform = ScriptedPlatform();
    ProcessList = ProcessSnapshot();

    Platform.listsProcesses = input.ConsumeBool();
    if (input.ConsumeBool())
        Platform.leadBytes = CodePage932LeadBytes();
    const bool nullQuery = input.ConsumeBool();
    // Most random queries match nothing; often start from a name the platform knows.
    const uint8_t queryStart = input.ConsumeIntegral<uint8_t>();
    const size_t processCount = input.ConsumeIntegralInRange<size_t>(0, MaxProcessIds + 50);
    for (size_t i = 0; i < processCount && input.remaining_bytes() > 0; ++i)
    {
        ScriptedProcess process;
        process.id = input.ConsumeIntegralInRange<DWORD>(0, 2 * processCount);
        const uint8_t failures = input.ConsumeIntegral<uint8_t>();
        process.opens = !(failures & 1);
        process.listsModules = !(failures & 2);
        process.nullModule = failures & 4;
        process.fetchesName = !(failures & 8);
        process.readsExitCode = !(failures & 16);
        process.exitCode = failures & 32 ? (failures & 128 ? 1 : 0) : STILL_ACTIVE;
        process.hasImagePath = !(failures & 64);
        process.moduleName = input.ConsumeRandomLengthString(MAX_PATH + 4);
        process.imagePath = input.ConsumeRandomLengthString(ImagePathCapacity + 4);
        Platform.processes.push_back(process);
        Platform.listedIds.push_back(process.id);
    }
    std::string queryText = input.ConsumeRemainingBytesAsString();
    if (queryStart & 1 && !Platform.processes.empty())
    {
        const ScriptedProcess& known = Platform.processes[(queryStart >> 3) % Platform.processes.size()];
        std::string knownName = queryStart & 2 ? known.imagePath.substr(known.imagePath.find_last_of('\\') + 1)
                                               : known.moduleName;
        if (queryStart & 4)
            std::transform(knownName.begin(), knownName.end(), knownName.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; });
        queryText = knownName + queryText;
    }
    const char* query = nullQuery ? nullptr : queryText.c_str();

    Require(RefreshProcessList() == (Platform.listsProcesses ? 1 : 0), "wrong refresh result");
    Platform.calls.clear();
    std::vector<DWORD> expectedOpened;
    const int expected = Reference(query, expectedOpened);
    Require(FindProcess(query) == expected, "wrong answer");
    Require(Platform.opened == expectedOpened, "opened other processes than the matching rules visit");
    Require(Platform.faults.empty(), "misused the platform");
    Require(Platform.openHandles.empty(), "left a handle open");
    Require(Platform.mostOpenAtOnce <= 1, "held two handles at once");
    size_t opens = std::count_if(Platform.calls.begin(), Platform.calls.end(),
                                 [](const std::string& call) { return call.rfind("OpenProcess", 0) == 0; });
    size_t closes = std::count_if(Platform.calls.begin(), Platform.calls.end(),
                                  [](const std::string& call) { return call.rfind("CloseHandle", 0) == 0; });
    Require(closes == Platform.opened.size() && opens >= closes, "closed other than each open once");
    return 0;
}
