// A process that does nothing until it is ended; tests copy it under the
// names they look for. It signals the inherited event named by its argument
// once it is fully started.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc > 1)
        SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[1], NULL, 10))));
    Sleep(5 * 60 * 1000);  // long enough for any test, short enough to never linger
    return 0;
}
