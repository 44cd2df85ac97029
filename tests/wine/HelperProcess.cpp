#include "HelperProcess.h"

#include <cstdint>
#include <stdexcept>

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

std::string TemporaryPath(const std::string& name)
{
    char temp[MAX_PATH];
    return std::string(temp, GetTempPathA(MAX_PATH, temp)) + name + "-" + std::to_string(GetCurrentProcessId());
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, NULL, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    return wide.c_str();
}

bool OtherBitnessRuns()
{
    return sizeof(void*) == 4 || !EnvironmentIs("GORVALE_X86_HOST", "none");
}

UINT ChosenCodePage()
{
    const char* chosen = std::getenv("GORVALE_ANSI_CODE_PAGE");
    return chosen ? static_cast<UINT>(std::strtoul(chosen, nullptr, 10)) : 0;
}

namespace {

// Text in UTF-16 as the ANSI code page.
std::string Narrow(const std::wstring& text)
{
    std::string narrow(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, NULL, 0, NULL, NULL), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()), NULL, NULL);
    return narrow.c_str();
}

// A folder of this run's own, so that no helper left over from another run
// holds a copy's file open.
std::wstring HelperDirectory()
{
    std::wstring directory = Wide(TemporaryPath("gorvale-helpers")) + L"\\";
    CreateDirectoryW(directory.c_str(), NULL);
    return directory;
}

}  // namespace

PROCESS_INFORMATION StartProcess(const std::wstring& program, std::wstring commandLine, STARTUPINFOW& startup)
{
    PROCESS_INFORMATION started = {};
    DWORD error = ERROR_INTERNAL_ERROR;
    for (int tries = 1; error == ERROR_INTERNAL_ERROR && tries <= 5; ++tries)
    {
        if (CreateProcessW(program.empty() ? NULL : program.c_str(), &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL,
                           &startup, &started))
            return started;
        error = GetLastError();
        Sleep(100 * tries);
    }
    throw std::runtime_error("cannot start " + Narrow(program.empty() ? commandLine : program) + ", error "
                             + std::to_string(error));
}

HelperProcess::HelperProcess(const std::string& name, const char* image, const std::string& posedName)
    : HelperProcess(Wide(name), image, posedName)
{
}

HelperProcess::HelperProcess(const std::wstring& name, const char* image, const std::string& posedName)
    : copy_(HelperDirectory() + name + L".exe")
{
    if (!CopyFileW(Wide(ProgramDirectory() + image).c_str(), copy_.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + std::string(image) + " to " + Narrow(copy_) + ", error "
                                 + std::to_string(GetLastError()));
    // The helper signals this event once its modules are loaded and listable,
    // and ends when this process does.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE ready = CreateEventA(&inheritable, TRUE, FALSE, NULL);
    HANDLE self = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);
    std::wstring commandLine = L"helper " + std::to_wstring(reinterpret_cast<uintptr_t>(ready)) + L" "
                             + std::to_wstring(reinterpret_cast<uintptr_t>(self)) + L" " + Wide(posedName);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    try
    {
        started = StartProcess(copy_, commandLine, startup);
    }
    catch (const std::exception&)
    {
        CloseHandle(ready);
        CloseHandle(self);
        throw;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    HANDLE waitFor[] = {ready, process_};
    DWORD waited = WaitForMultipleObjects(2, waitFor, FALSE, 10000);
    CloseHandle(ready);
    CloseHandle(self);
    if (waited != WAIT_OBJECT_0)
    {
        End();
        CloseHandle(process_);
        throw std::runtime_error(Narrow(name) + " did not start");
    }
}

HelperProcess::~HelperProcess()
{
    End();
    if (process_)
        CloseHandle(process_);
    // Best effort: Wine may keep the file of a just-ended process open a while.
    DeleteFileW(copy_.c_str());
    RemoveDirectoryW(copy_.substr(0, copy_.find_last_of(L'\\')).c_str());
}

std::wstring HelperProcess::ImageFileName() const
{
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameW(process_, 0, path, &length))
        return L"";
    std::wstring fullPath(path, length);
    return fullPath.substr(fullPath.rfind(L'\\') + 1);
}

void HelperProcess::End()
{
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
    {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, INFINITE);
    }
}
