// gorvale-check: tells whether processes with given names are running, or
// waits until one starts or is gone.
#include "Gorvale.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

const char Usage[] =
    "Usage: gorvale-check [--] NAME...\n"
    "       gorvale-check --wait [--] NAME [--timeout SECONDS] [--interval MS]\n"
    "       gorvale-check --wait-gone [--] NAME [--timeout SECONDS] [--interval MS]\n"
    "       gorvale-check -h | --help\n"
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
    "  --                 a NAME that begins with '-' goes after it: with NAMEs,\n"
    "                     every later argument is a NAME; after --wait or\n"
    "                     --wait-gone, the next one is\n"
    "  -h, --help         show this text\n"
    "\n"
    "Names may hold any character: on Windows 10 version 1903 and later the\n"
    "program works in UTF-8. A console shows names as typed; piped or\n"
    "redirected, the output is UTF-8. Earlier Windows gives the program only\n"
    "its ANSI code page, and a NAME that code page cannot hold is refused.\n"
    "\n"
    "Exit status: 0 when every NAME is running or the awaited state came,\n"
    "1 when some NAME is not running or the wait timed out, 2 on a usage\n"
    "error, when the process list cannot be taken, or when the answer cannot\n"
    "be written; each 2 says why on standard error.\n";

enum ExitStatus { Yes = 0, No = 1, ExitTrouble = 2 };

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

// Writes text in the ANSI code page. A console is given the characters
// themselves, whatever its own code page; a pipe or a file gets the bytes, in
// UTF-8 where the manifest's code page took effect. False when something
// could not be written: the printf of MinGW's C++ runtime reports no failure
// itself, so the stream's error flag is read. Each line is flushed, so that a
// script reading a pipe sees each answer as it comes.
bool Write(FILE* stream, const std::string& text)
{
    HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD consoleMode = 0;
    if (GetConsoleMode(handle, &consoleMode))
    {
        int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
        if (length == 0 && !text.empty())
            return false;  // not text in the code page: nothing to write
        std::wstring characters(length, L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &characters[0], length);
        DWORD written = 0;
        return WriteConsoleW(handle, characters.data(), length, &written, NULL) && written == DWORD(length);
    }
    std::fputs(text.c_str(), stream);
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

// Every exit status 2 comes with a line on standard error that says why.
int Trouble(const std::string& why)
{
    Write(stderr, "gorvale-check: " + why + "\n");
    return ExitTrouble;
}

int UsageError(const std::string& message)
{
    return Trouble(message + "\nTry gorvale-check --help.");
}

// An empty NAME would match every process; in a script it is nearly always a
// variable that was never set.
int EmptyName()
{
    return UsageError("a NAME cannot be empty");
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

bool IsOneOf(const char* arg, std::initializer_list<const char*> words)
{
    for (const char* word : words)
        if (std::strcmp(arg, word) == 0)
            return true;
    return false;
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
        if (options.endOfOptions == 0 && IsOneOf(arg, {"--help", "-h"}))
            return Write(stdout, Usage) ? Yes : Trouble("the help text cannot be written");
        if (options.endOfOptions != 0 || arg[0] != '-')
        {
            if (arg[0] == '\0')
                return EmptyName();
            if (options.firstName == 0)
                options.firstName = i;
            continue;
        }
        if (!IsOneOf(arg, {"--wait", "--wait-gone", "--timeout", "--interval"}))
            return UsageError(std::string("unknown option ") + arg);
        if (i + 1 == argc)
            return UsageError(std::string(arg) + " needs a value");
        const char* value = argv[++i];
        if (std::strcmp(arg, "--timeout") == 0)
        {
            if (!ParseNumber(value, 0, 86400, options.timeoutSeconds))
                return UsageError(std::string("--timeout takes whole seconds from 0 to 86400, not ") + value);
            options.timingGiven = true;
        }
        else if (std::strcmp(arg, "--interval") == 0)
        {
            if (!ParseNumber(value, 1, 3600000, options.intervalMs))
                return UsageError(std::string("--interval takes whole milliseconds from 1 to 3600000, not ") + value);
            options.timingGiven = true;
        }
        else
        {
            if (options.waitName)
                return UsageError("give one of --wait and --wait-gone, once");
            // The NAME comes next; one that begins with '-' after a "--".
            if (std::strcmp(value, "--") == 0)
                value = i + 1 < argc ? argv[++i] : nullptr;
            else if (value[0] == '-')
                return UsageError(std::string(arg) + " needs a NAME, not " + value
                                  + "; a NAME that begins with '-' goes after --");
            if (!value)
                return UsageError(std::string(arg) + " needs a NAME");
            if (value[0] == '\0')
                return EmptyName();
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

// Where the manifest's UTF-8 code page is not honoured (before Windows 10
// version 1903), each argument arrives in the ANSI code page, with '?' for
// every character it cannot hold; such a NAME would be looked up as
// something else. Returns -1 when every argument arrived whole. Each one the
// system's own splitting finds is checked, even where the runtime splits the
// command line into a different number of them.
int RefuseArgumentsTheCodePageLost()
{
    if (GetACP() == CP_UTF8)
        return -1;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return Trouble("the command line cannot be read in UTF-16, so no NAME can be checked for lost characters");
    int status = -1;
    for (int i = 1; i < count && status == -1; ++i)
    {
        BOOL lost = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, arguments[i], -1, NULL, 0, NULL, &lost);
        if (lost)
        {
            int length = WideCharToMultiByte(CP_ACP, 0, arguments[i], -1, NULL, 0, NULL, NULL);
            std::string shown(length, '\0');
            WideCharToMultiByte(CP_ACP, 0, arguments[i], -1, &shown[0], length, NULL, NULL);
            status = UsageError("argument " + std::to_string(i) + " (" + shown.c_str()
                                + ") holds characters that code page " + std::to_string(GetACP())
                                + " cannot; this Windows gives the program only that code page");
        }
    }
    LocalFree(arguments);
    return status;
}

int CannotListProcesses()
{
    return Trouble("the list of running processes cannot be taken");
}

// False when the answer could not be written: the caller would not see it.
bool PrintState(const char* name, bool running)
{
    return Write(stdout, std::string(name) + (running ? ": running\n" : ": not running\n"));
}

int CannotWrite()
{
    return Trouble("the answer cannot be written");
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
            Write(stderr, "gorvale-check: timed out after " + std::to_string(options.timeoutSeconds) + " s\n");
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
    int status = RefuseArgumentsTheCodePageLost();
    if (status == -1)
        status = ParseOptions(argc, argv, options);
    if (status != -1)
        return status;
    return options.waitName ? Wait(options) : CheckNames(argc, argv, options);
}
