#include "ScriptedPlatform.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>

ScriptedPlatform Platform;

ScriptedProcess RunningProcess(DWORD id, const std::string& moduleName)
{
    ScriptedProcess process;
    process.id = id;
    process.moduleName = moduleName;
    process.imagePath = "C:\\Programs\\" + moduleName;
    return process;
}

std::string CodePage932LeadBytes()
{
    std::string leadBytes;
    for (int c = 0x81; c <= 0xFC; ++c)
        if (c <= 0x9F || c >= 0xE0)
            leadBytes += static_cast<char>(c);
    return leadBytes;
}

namespace {

const ScriptedProcess* ProcessWithId(DWORD id)
{
    for (const ScriptedProcess& process : Platform.processes)
        if (process.id == id)
            return &process;
    return nullptr;
}

// The process behind an open handle; records a fault for any other handle.
const ScriptedProcess* ProcessOf(HANDLE handle, const char* call)
{
    auto open = Platform.openHandles.find(handle);
    if (open == Platform.openHandles.end())
    {
        Platform.faults.push_back(std::string(call) + " on a handle that is not open");
        return nullptr;
    }
    return ProcessWithId(open->second);
}

void Record(const char* call, DWORD id)
{
    Platform.calls.push_back(std::string(call) + " " + std::to_string(id));
}

DWORD IdOf(HANDLE handle)
{
    auto open = Platform.openHandles.find(handle);
    return open == Platform.openHandles.end() ? 0 : open->second;
}

}  // namespace

BOOL EnumProcesses(DWORD* processIds, DWORD bytes, DWORD* bytesWritten)
{
    Platform.calls.push_back("EnumProcesses " + std::to_string(bytes));
    if (!Platform.listsProcesses)
        return FALSE;
    size_t count = std::min<size_t>(Platform.listedIds.size(), bytes / sizeof(DWORD));
    std::copy_n(Platform.listedIds.begin(), count, processIds);
    *bytesWritten = static_cast<DWORD>(count * sizeof(DWORD));
    return TRUE;
}

HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId)
{
    Record("OpenProcess", processId);
    if (desiredAccess != (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ) || inheritHandle)
        Platform.faults.push_back("OpenProcess asked for other rights");
    const ScriptedProcess* process = ProcessWithId(processId);
    if (!process || !process->opens)
        return nullptr;
    static uintptr_t nextHandle = 0x100;
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle += 4);
    Platform.openHandles[handle] = processId;
    Platform.opened.push_back(processId);
    Platform.mostOpenAtOnce = std::max(Platform.mostOpenAtOnce, Platform.openHandles.size());
    return handle;
}

BOOL CloseHandle(HANDLE handle)
{
    Record("CloseHandle", IdOf(handle));
    if (!ProcessOf(handle, "CloseHandle"))
        return FALSE;
    Platform.openHandles.erase(handle);
    return TRUE;
}

BOOL EnumProcessModules(HANDLE handle, HMODULE* modules, DWORD bytes, DWORD* bytesNeeded)
{
    Record("EnumProcessModules", IdOf(handle));
    const ScriptedProcess* process = ProcessOf(handle, "EnumProcessModules");
    if (bytes != sizeof(HMODULE))
        Platform.faults.push_back("EnumProcessModules given room for other than one module");
    if (!process)
        return FALSE;
    // A failed listing may still have written a module, to be ignored.
    *modules = process->nullModule ? nullptr : reinterpret_cast<HMODULE>(0x400000);
    *bytesNeeded = sizeof(HMODULE);
    return process->listsModules;
}

DWORD GetModuleBaseNameA(HANDLE handle, HMODULE module, char* name, DWORD size)
{
    Record("GetModuleBaseNameA", IdOf(handle));
    const ScriptedProcess* process = ProcessOf(handle, "GetModuleBaseNameA");
    if (module == nullptr)
        Platform.faults.push_back("GetModuleBaseNameA given a null module");
    if (!process)
        return 0;
    // Like the platform, truncate to the buffer, leaving it unterminated when
    // full. A failed fetch leaves the same bytes behind, to be ignored.
    size_t length = std::min<size_t>(process->moduleName.size(), size);
    std::memcpy(name, process->moduleName.data(), length);
    if (length < size)
        name[length] = '\0';
    return process->fetchesName ? static_cast<DWORD>(length) : 0;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    Record("GetExitCodeProcess", IdOf(handle));
    const ScriptedProcess* process = ProcessOf(handle, "GetExitCodeProcess");
    if (!process || !process->readsExitCode)
        return FALSE;
    *exitCode = process->exitCode;
    return TRUE;
}

BOOL QueryFullProcessImageNameA(HANDLE handle, DWORD flags, char* path, DWORD* size)
{
    Record("QueryFullProcessImageNameA", IdOf(handle));
    const ScriptedProcess* process = ProcessOf(handle, "QueryFullProcessImageNameA");
    if (flags != 0)
        Platform.faults.push_back("QueryFullProcessImageNameA asked for a native path");
    if (!process || !process->hasImagePath || process->imagePath.size() >= *size)
    {
        // A failed call may still have written into the buffer: here the
        // path, as much as fits, and zeros after it.
        if (process && *size > 0)
        {
            std::memset(path, 0, *size);
            std::memcpy(path, process->imagePath.data(), std::min<size_t>(process->imagePath.size(), *size - 1));
        }
        return FALSE;
    }
    std::memcpy(path, process->imagePath.c_str(), process->imagePath.size() + 1);
    *size = static_cast<DWORD>(process->imagePath.size());
    return TRUE;
}

BOOL IsDBCSLeadByte(BYTE c)
{
    return Platform.leadBytes.find(static_cast<char>(c)) != std::string::npos;
}
