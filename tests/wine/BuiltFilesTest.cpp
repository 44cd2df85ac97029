// The built Gorvale.dll and gorvale-check.exe as files: machine, size,
// exports, imports, symbols, security flags, manifest and version resources.
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

#ifdef _WIN64
const WORD ExpectedMachine = IMAGE_FILE_MACHINE_AMD64;
const WORD ExpectedSecurityFlags = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT
                                 | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
const WORD ExpectedDllFlags = ExpectedSecurityFlags;
#else
const WORD ExpectedMachine = IMAGE_FILE_MACHINE_I386;
const WORD ExpectedSecurityFlags = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
const WORD ExpectedDllFlags = ExpectedSecurityFlags | IMAGE_DLLCHARACTERISTICS_NO_SEH;
#endif

// A PE file of this program's own bitness, read from disk.
class PeFile
{
public:
    explicit PeFile(const std::string& fileName)
    {
        std::ifstream file(ProgramDirectory() + fileName, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        size = bytes_.size();
        if (bytes_.size() > sizeof(IMAGE_DOS_HEADER))
            headers = At<IMAGE_NT_HEADERS>(At<IMAGE_DOS_HEADER>(0)->e_lfanew);
    }

    template <typename T>
    const T* At(size_t offset) const
    {
        if (offset + sizeof(T) > bytes_.size())
            throw std::out_of_range("offset " + std::to_string(offset) + " lies outside the file");
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    // What lies at a relative virtual address.
    template <typename T>
    const T* AtAddress(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
        for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return At<T>(rva - section->VirtualAddress + section->PointerToRawData);
        throw std::out_of_range("address " + std::to_string(rva) + " lies in no section");
    }

    std::string StringAt(DWORD rva) const { return AtAddress<char>(rva); }

    DWORD Directory(int entry) const { return headers->OptionalHeader.DataDirectory[entry].VirtualAddress; }

    const IMAGE_NT_HEADERS* headers = nullptr;
    size_t size = 0;

private:
    std::vector<char> bytes_;
};

TEST(BuiltFiles, DllIsOfThisBitnessWithSecurityFlagsAndWithoutSymbolsWhenReleased)
{
    for (const char* fileName : {"Gorvale.dll", "gorvale-check.exe"})
    {
        PeFile file(fileName);
        ASSERT_TRUE(file.headers && file.headers->Signature == IMAGE_NT_SIGNATURE) << fileName;
        EXPECT_EQ(file.headers->FileHeader.Machine, ExpectedMachine) << fileName;
        EXPECT_EQ(file.headers->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC) << fileName;
        EXPECT_EQ(file.headers->OptionalHeader.DllCharacteristics & ExpectedSecurityFlags, ExpectedSecurityFlags)
            << fileName;
        EXPECT_EQ(file.headers->FileHeader.TimeDateStamp, 0u) << fileName << ": two builds would differ";
#ifdef GORVALE_RELEASE_BUILD
        EXPECT_EQ(file.headers->FileHeader.PointerToSymbolTable, 0u) << fileName;
        EXPECT_EQ(file.headers->FileHeader.NumberOfSymbols, 0u) << fileName;
#endif
    }
    PeFile dll("Gorvale.dll");
    EXPECT_TRUE(dll.headers->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(dll.headers->OptionalHeader.DllCharacteristics, ExpectedDllFlags);
    EXPECT_LE(dll.size, 5120u);
}

TEST(BuiltFiles, DllExportsExactlyTheTwoDecoratedNamesAtOrdinalsOneAndTwo)
{
    PeFile dll("Gorvale.dll");
    ASSERT_TRUE(dll.headers);
    const IMAGE_EXPORT_DIRECTORY* exports = dll.AtAddress<IMAGE_EXPORT_DIRECTORY>(dll.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT));
    EXPECT_EQ(dll.StringAt(exports->Name), "Gorvale.dll");
    EXPECT_EQ(exports->Base, 1u);
    ASSERT_EQ(exports->NumberOfFunctions, 2u);
    ASSERT_EQ(exports->NumberOfNames, 2u);
    const DWORD* names = dll.AtAddress<DWORD>(exports->AddressOfNames);
    const WORD* ordinalIndexes = dll.AtAddress<WORD>(exports->AddressOfNameOrdinals);
    EXPECT_EQ(dll.StringAt(names[0]), GORVALE_FIND_PROCESS_EXPORT);
    EXPECT_EQ(exports->Base + ordinalIndexes[0], 1u);
    EXPECT_EQ(dll.StringAt(names[1]), GORVALE_REFRESH_PROCESS_LIST_EXPORT);
    EXPECT_EQ(exports->Base + ordinalIndexes[1], 2u);
}

// The platform calls that the refresh and the lookup make, and nothing else:
// no runtime, and no helper that a compiler inserts.
TEST(BuiltFiles, DllImportsExactlyTheCallsOfTheRefreshAndTheLookup)
{
    PeFile dll("Gorvale.dll");
    ASSERT_TRUE(dll.headers);
    std::set<std::string> imported;
    for (const IMAGE_IMPORT_DESCRIPTOR* import =
             dll.AtAddress<IMAGE_IMPORT_DESCRIPTOR>(dll.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT));
         import->Name != 0; ++import)
    {
        std::string module = dll.StringAt(import->Name);
        std::transform(module.begin(), module.end(), module.begin(), ::toupper);
        for (const IMAGE_THUNK_DATA* thunk = dll.AtAddress<IMAGE_THUNK_DATA>(import->OriginalFirstThunk);
             thunk->u1.AddressOfData != 0; ++thunk)
            imported.insert(module + " " + dll.AtAddress<IMAGE_IMPORT_BY_NAME>(thunk->u1.AddressOfData)->Name);
    }
    EXPECT_EQ(imported, (std::set<std::string>{
                            "KERNEL32.DLL CloseHandle", "KERNEL32.DLL GetExitCodeProcess",
                            "KERNEL32.DLL IsDBCSLeadByte", "KERNEL32.DLL OpenProcess",
                            "KERNEL32.DLL QueryFullProcessImageNameA", "PSAPI.DLL EnumProcessModules",
                            "PSAPI.DLL EnumProcesses", "PSAPI.DLL GetModuleBaseNameA"}));
}

TEST(BuiltFiles, ToolCarriesAManifestAsInvokerForWindows7To11)
{
    HMODULE tool = LoadLibraryExA((ProgramDirectory() + "gorvale-check.exe").c_str(), NULL,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(tool, nullptr);
    HRSRC resource = FindResourceA(tool, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(resource, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(tool, resource))),
                         SizeofResource(tool, resource));
    FreeLibrary(tool);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
}

std::string VersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0)
        return "(none)";
    return value;
}

TEST(BuiltFiles, VersionResourcesCarryTheProjectVersion)
{
    for (const char* fileName : {"Gorvale.dll", "gorvale-check.exe"})
    {
        std::string path = ProgramDirectory() + fileName;
        std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), NULL));
        ASSERT_FALSE(info.empty()) << fileName;
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, info.size(), info.data())) << fileName;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, DWORD(GORVALE_VERSION_MAJOR << 16 | GORVALE_VERSION_MINOR)) << fileName;
        EXPECT_EQ(fixed->dwFileVersionLS, DWORD(GORVALE_VERSION_PATCH << 16)) << fileName;
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS) << fileName;
        EXPECT_EQ(VersionString(info, "FileVersion"), GORVALE_VERSION) << fileName;
        EXPECT_EQ(VersionString(info, "ProductVersion"), GORVALE_VERSION) << fileName;
        EXPECT_EQ(VersionString(info, "ProductName"), "Gorvale") << fileName;
        EXPECT_EQ(VersionString(info, "OriginalFilename"), fileName);
        EXPECT_NE(VersionString(info, "FileDescription"), "(none)") << fileName;
    }
}

}  // namespace
