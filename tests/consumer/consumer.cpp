#include <Gorvale.h>

#include <cstdio>

int main()
{
    bool ok = RefreshProcessList() == 1 && FindProcess("consumer.exe") == 1
           && FindProcess("no-such-consumer") == 0;
    std::puts(ok ? "consumer: Gorvale answers" : "consumer: wrong answers");
    return ok ? 0 : 1;
}
