#include "HelperProcess.h"

#include <gtest/gtest.h>

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

HelperProcess::HelperProcess(const std::string& name, const char* image)
{
    std::string copy = ProgramDirectory() + name + ".exe";
    if (!CopyFileA((ProgramDirectory() + image).c_str(), copy.c_str(), FALSE))
    {
        ADD_FAILURE() << "cannot copy " << image << " to " << copy << ", error " << GetLastError();
        return;
    }
    // The helper signals this event once its modules are loaded and listable.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE ready = CreateEventA(&inheritable, TRUE, FALSE, NULL);
    std::string commandLine = name + " " + std::to_string(reinterpret_cast<uintptr_t>(ready));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (CreateProcessA(copy.c_str(), &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &started))
    {
        CloseHandle(started.hThread);
        process_ = started.hProcess;
        HANDLE waitFor[] = {ready, process_};
        if (WaitForMultipleObjects(2, waitFor, FALSE, 10000) != WAIT_OBJECT_0)
            ADD_FAILURE() << name << " did not start";
    }
    else
    {
        ADD_FAILURE() << "cannot start " << copy << ", error " << GetLastError();
    }
    CloseHandle(ready);
}

HelperProcess::~HelperProcess()
{
    End();
    if (process_)
        CloseHandle(process_);
}

void HelperProcess::End()
{
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
    {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, INFINITE);
    }
}
