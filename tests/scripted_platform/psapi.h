// Stand-in for <psapi.h> in the native build.
#ifndef SCRIPTED_PSAPI_H
#define SCRIPTED_PSAPI_H

#include <windows.h>

BOOL EnumProcesses(DWORD* processIds, DWORD bytes, DWORD* bytesWritten);
BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD bytes, DWORD* bytesNeeded);
DWORD GetModuleBaseNameA(HANDLE process, HMODULE module, char* name, DWORD size);

#endif
