// gorvale-check: tells whether processes with the given names are running.
#include "Gorvale.h"

#include <cstdio>
#include <cstring>

namespace {

const char Usage[] =
    "Usage: gorvale-check NAME...\n"
    "\n"
    "Takes one snapshot of the running processes and prints, for each NAME,\n"
    "\"NAME: running\" when a process whose executable's file name begins with\n"
    "NAME (ASCII case ignored) is in it, else \"NAME: not running\".\n"
    "Only processes this user may open for querying and reading are seen.\n"
    "\n"
    "Exit status: 0 when every NAME is running, 1 when any is not,\n"
    "2 on a usage error or when the process list cannot be taken.\n";

enum ExitStatus { AllRunning = 0, SomeNotRunning = 1, Trouble = 2 };

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fputs(Usage, stderr);
        return Trouble;
    }
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
        {
            std::fputs(Usage, stdout);
            return AllRunning;
        }
        if (argv[i][0] == '-')
        {
            std::fprintf(stderr, "gorvale-check: unknown option %s\n\n%s", argv[i], Usage);
            return Trouble;
        }
    }

    if (!RefreshProcessList())
    {
        std::fputs("gorvale-check: the list of running processes cannot be taken\n", stderr);
        return Trouble;
    }
    int status = AllRunning;
    for (int i = 1; i < argc; ++i)
    {
        bool running = FindProcess(argv[i]) == 1;
        std::printf("%s: %s\n", argv[i], running ? "running" : "not running");
        if (!running)
            status = SomeNotRunning;
    }
    return status;
}
