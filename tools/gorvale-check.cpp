// gorvale-check: tells whether processes with given names are running, or
// waits until one starts or is gone.
#include "Gorvale.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char Usage[] =
    "Usage: gorvale-check NAME...\n"
    "       gorvale-check --wait NAME [--timeout SECONDS] [--interval MS]\n"
    "       gorvale-check --wait-gone NAME [--timeout SECONDS] [--interval MS]\n"
    "\n"
    "A process matches NAME when its executable's file name begins with NAME,\n"
    "ASCII case ignored. Only processes this user may open for querying and\n"
    "reading are seen: without elevation, an elevated program or another\n"
    "user's is not seen, and --wait-gone takes it for gone. A program can pose\n"
    "under another name; do not base a security decision on the answer.\n"
    "\n"
    "With NAMEs: takes one snapshot of the running processes and prints\n"
    "\"NAME: running\" or \"NAME: not running\" for each.\n"
    "  --wait NAME        wait until a process matching NAME runs\n"
    "  --wait-gone NAME   wait until no process matching NAME runs\n"
    "  --timeout SECONDS  give up after this long (default 30)\n"
    "  --interval MS      look again, with a new snapshot, this often (default 250)\n"
    "  --                 end of options: every later argument is a NAME, even\n"
    "                     one that begins with '-'\n"
    "  -h, --help         show this text\n"
    "\n"
    "Exit status: 0 when every NAME is running or the awaited state came,\n"
    "1 when some NAME is not running or the wait timed out, 2 on a usage\n"
    "error, when the process list cannot be taken, or when the answer cannot\n"
    "be written.\n";

enum ExitStatus { Yes = 0, No = 1, Trouble = 2 };

struct Options
{
    const char* waitName = nullptr;  // from --wait or --wait-gone
    bool waitUntilRunning = false;
    unsigned long timeoutSeconds = 30;
    unsigned long intervalMs = 250;
    bool timingGiven = false;
    int firstName = 0;     // index in argv of the first NAME; 0 when none
    int endOfOptions = 0;  // index in argv of "--"; 0 when none
};

// Flushes standard output, so that a script reading a pipe sees each answer as
// it comes; false when something written could not be. The printf of MinGW's
// C++ runtime reports no failure itself, so the stream's error flag is read.
bool OutputWritten()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int UsageError(const char* message, const char* detail = "")
{
    std::fprintf(stderr, "gorvale-check: %s%s\nTry gorvale-check --help.\n", message, detail);
    return Trouble;
}

// A whole number from lowest to highest, digits only.
bool ParseNumber(const char* text, unsigned long lowest, unsigned long highest, unsigned long& number)
{
    if (text[0] < '0' || text[0] > '9' || std::strlen(text) > 9)
        return false;
    char* end = nullptr;
    number = std::strtoul(text, &end, 10);
    return *end == '\0' && number >= lowest && number <= highest;
}

// Returns -1 when the options are good, else the exit status to give.
int ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const char* arg = argv[i];
        if (options.endOfOptions == 0 && std::strcmp(arg, "--") == 0)
        {
            options.endOfOptions = i;
            continue;
        }
        if (options.endOfOptions == 0 && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0))
        {
            std::fputs(Usage, stdout);
            return OutputWritten() ? Yes : Trouble;
        }
        if (options.endOfOptions != 0 || arg[0] != '-')
        {
            if (options.firstName == 0)
                options.firstName = i;
            continue;
        }
        if (std::strcmp(arg, "--wait") != 0 && std::strcmp(arg, "--wait-gone") != 0
            && std::strcmp(arg, "--timeout") != 0 && std::strcmp(arg, "--interval") != 0)
            return UsageError("unknown option ", arg);
        if (i + 1 == argc)
            return UsageError(arg, " needs a value");
        const char* value = argv[++i];
        if (std::strcmp(arg, "--timeout") == 0)
        {
            if (!ParseNumber(value, 0, 86400, options.timeoutSeconds))
                return UsageError("--timeout takes whole seconds from 0 to 86400, not ", value);
            options.timingGiven = true;
        }
        else if (std::strcmp(arg, "--interval") == 0)
        {
            if (!ParseNumber(value, 1, 3600000, options.intervalMs))
                return UsageError("--interval takes whole milliseconds from 1 to 3600000, not ", value);
            options.timingGiven = true;
        }
        else
        {
            if (options.waitName)
                return UsageError("give one of --wait and --wait-gone, once");
            options.waitName = value;
            options.waitUntilRunning = std::strcmp(arg, "--wait") == 0;
        }
    }
    if (options.waitName && options.firstName)
        return UsageError("--wait and --wait-gone take no further NAMEs");
    if (!options.waitName && options.timingGiven)
        return UsageError("--timeout and --interval go with --wait or --wait-gone");
    if (!options.waitName && !options.firstName)
        return UsageError("name at least one process");
    return -1;
}

int CannotListProcesses()
{
    std::fputs("gorvale-check: the list of running processes cannot be taken\n", stderr);
    return Trouble;
}

// False when the answer could not be written: the caller would not see it.
bool PrintState(const char* name, bool running)
{
    std::printf("%s: %s\n", name, running ? "running" : "not running");
    return OutputWritten();
}

int CannotWrite()
{
    std::fputs("gorvale-check: the answer cannot be written\n", stderr);
    return Trouble;
}

int CheckNames(int argc, char** argv, const Options& options)
{
    if (!RefreshProcessList())
        return CannotListProcesses();
    int status = Yes;
    for (int i = options.firstName; i < argc; ++i)
    {
        if (i == options.endOfOptions)
            continue;
        bool running = FindProcess(argv[i]) == 1;
        if (!PrintState(argv[i], running))
            return CannotWrite();
        if (!running)
            status = No;
    }
    return status;
}

int Wait(const Options& options)
{
    const ULONGLONG deadline = GetTickCount64() + options.timeoutSeconds * 1000ULL;
    for (;;)
    {
        if (!RefreshProcessList())
            return CannotListProcesses();
        bool running = FindProcess(options.waitName) == 1;
        bool awaitedStateCame = running == options.waitUntilRunning;
        ULONGLONG now = GetTickCount64();
        if (awaitedStateCame || now >= deadline)
        {
            if (!PrintState(options.waitName, running))
                return CannotWrite();
            if (awaitedStateCame)
                return Yes;
            std::fprintf(stderr, "gorvale-check: timed out after %lu s\n", options.timeoutSeconds);
            return No;
        }
        ULONGLONG untilDeadline = deadline - now;
        Sleep(static_cast<DWORD>(options.intervalMs < untilDeadline ? options.intervalMs : untilDeadline));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int status = ParseOptions(argc, argv, options);
    if (status != -1)
        return status;
    return options.waitName ? Wait(options) : CheckNames(argc, argv, options);
}
