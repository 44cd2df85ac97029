// The built Gorvale.dll as a file: its machine, exports, imports and symbols.
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

class DllLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::ifstream file(ProgramDirectory() + "Gorvale.dll", std::ios::binary);
        image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        ASSERT_GT(image_.size(), sizeof(IMAGE_DOS_HEADER));
        headers_ = At<IMAGE_NT_HEADERS32>(At<IMAGE_DOS_HEADER>(0)->e_lfanew);
        ASSERT_EQ(headers_->Signature, IMAGE_NT_SIGNATURE);
    }

    template <typename T>
    const T* At(size_t offset) const
    {
        EXPECT_LE(offset + sizeof(T), image_.size());
        return reinterpret_cast<const T*>(image_.data() + offset);
    }

    // File offset of a relative virtual address.
    size_t Offset(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers_);
        for (WORD i = 0; i < headers_->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return rva - section->VirtualAddress + section->PointerToRawData;
        ADD_FAILURE() << "address " << rva << " lies in no section";
        return 0;
    }

    std::string StringAt(DWORD rva) const { return At<char>(Offset(rva)); }

    const IMAGE_DATA_DIRECTORY& Directory(int entry) const
    {
        return headers_->OptionalHeader.DataDirectory[entry];
    }

    std::vector<char> image_;
    const IMAGE_NT_HEADERS32* headers_ = nullptr;
};

TEST_F(DllLayout, IsA32BitDll)
{
    EXPECT_EQ(headers_->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(headers_->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(headers_->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
}

TEST_F(DllLayout, ExportsExactlyTheTwoDecoratedNamesAtOrdinalsOneAndTwo)
{
    const IMAGE_EXPORT_DIRECTORY* exports =
        At<IMAGE_EXPORT_DIRECTORY>(Offset(Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress));
    EXPECT_EQ(StringAt(exports->Name), "Gorvale.dll");
    EXPECT_EQ(exports->Base, 1u);
    ASSERT_EQ(exports->NumberOfFunctions, 2u);
    ASSERT_EQ(exports->NumberOfNames, 2u);
    const DWORD* names = At<DWORD>(Offset(exports->AddressOfNames));
    const WORD* ordinalIndexes = At<WORD>(Offset(exports->AddressOfNameOrdinals));
    EXPECT_EQ(StringAt(names[0]), "?FindProcess@@YAHPBD@Z");
    EXPECT_EQ(exports->Base + ordinalIndexes[0], 1u);
    EXPECT_EQ(StringAt(names[1]), "?RefreshProcessList@@YAHXZ");
    EXPECT_EQ(exports->Base + ordinalIndexes[1], 2u);
}

TEST_F(DllLayout, ImportsOnlyKernel32PsapiAndMsvcrt)
{
    std::set<std::string> imported;
    for (const IMAGE_IMPORT_DESCRIPTOR* import =
             At<IMAGE_IMPORT_DESCRIPTOR>(Offset(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress));
         import->Name != 0; ++import)
    {
        std::string name = StringAt(import->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        imported.insert(name);
    }
    EXPECT_TRUE(imported.count("KERNEL32.DLL"));
    EXPECT_TRUE(imported.count("PSAPI.DLL"));
    imported.erase("KERNEL32.DLL");
    imported.erase("PSAPI.DLL");
    imported.erase("MSVCRT.DLL");
    EXPECT_TRUE(imported.empty()) << "also imports " << *imported.begin();
}

TEST_F(DllLayout, ReleaseBuildIsStripped)
{
#ifdef GORVALE_RELEASE_BUILD
    EXPECT_EQ(headers_->FileHeader.PointerToSymbolTable, 0u);
    EXPECT_EQ(headers_->FileHeader.NumberOfSymbols, 0u);
#else
    GTEST_SKIP() << "not a release build";
#endif
}

}  // namespace
