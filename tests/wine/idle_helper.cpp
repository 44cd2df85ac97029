// A process that does nothing until it is ended; tests copy it under the
// names they look for. Its arguments are two inherited handles: an event it
// signals once fully started, and the process that started it, whose end it
// does not outlive.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

namespace {

HANDLE InheritedHandle(const char* value)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(value, NULL, 10)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    SetEvent(InheritedHandle(argv[1]));
    WaitForSingleObject(InheritedHandle(argv[2]), INFINITE);
    return 0;
}
