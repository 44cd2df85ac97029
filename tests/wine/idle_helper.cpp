// A process that does nothing until it is ended; tests copy it under the
// names they look for. Its arguments are two inherited handles: an event it
// signals once fully started, and the process that started it, whose end it
// does not outlive; and, optionally, a name to pose under.
#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdlib>

namespace {

HANDLE InheritedHandle(const char* value)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(value, NULL, 10)));
}

// Any program can rename its main module in its own loader data, which is
// where a module listing in another process reads the base name; the image
// path that the system keeps is not touched.
void PoseAs(const wchar_t* name)
{
    static wchar_t posedName[MAX_PATH];
    int length = lstrlenW(lstrcpynW(posedName, name, MAX_PATH));
    LIST_ENTRY* first = NtCurrentTeb()->ProcessEnvironmentBlock->Ldr->InMemoryOrderModuleList.Flink;
    LDR_DATA_TABLE_ENTRY* mainModule = CONTAINING_RECORD(first, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
    UNICODE_STRING* baseName = &mainModule->FullDllName + 1;  // BaseDllName follows FullDllName
    baseName->Buffer = posedName;
    baseName->Length = static_cast<USHORT>(length * sizeof(wchar_t));
    baseName->MaximumLength = sizeof posedName;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    // The name to pose under may hold characters the ANSI code page lacks.
    int wideCount = 0;
    LPWSTR* wideArguments = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    if (argc > 3 && wideArguments && wideCount > 3)
        PoseAs(wideArguments[3]);
    SetEvent(InheritedHandle(argv[1]));
    WaitForSingleObject(InheritedHandle(argv[2]), INFINITE);
    return 0;
}
