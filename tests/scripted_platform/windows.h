// Stand-in for <windows.h> in the native build: the types, constants and
// kernel calls the library uses, answered by the scripted platform.
#ifndef SCRIPTED_WINDOWS_H
#define SCRIPTED_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_VM_READ 0x0010
#define STILL_ACTIVE 259

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint32_t DWORD;
typedef void* HANDLE;
typedef void* LPVOID;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
BOOL CloseHandle(HANDLE handle);
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
BOOL QueryFullProcessImageNameA(HANDLE process, DWORD flags, char* path, DWORD* size);
BOOL IsDBCSLeadByte(BYTE c);

#endif
