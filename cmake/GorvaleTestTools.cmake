# The tools that the MinGW build's tests need beyond its own compiler, found
# at configure time. The project's toolchain files name the targets; under a
# toolchain file of the user's own they follow from the architecture, and any
# tool may be missing: then the tests are left out, saying which tools, and
# the DLL and gorvale-check are built all the same. Sets gorvale_tests.
if(GORVALE_ARCH STREQUAL "x86")
    set(targets i686-w64-mingw32 x86_64-w64-mingw32 i686-pc-windows-msvc)
else()
    set(targets x86_64-w64-mingw32 i686-w64-mingw32 x86_64-pc-windows-msvc)
endif()
set(variables GORVALE_TRIPLE GORVALE_OTHER_TRIPLE GORVALE_MSVC_TARGET)
foreach(variable target IN ZIP_LISTS variables targets)
    if(NOT ${variable})
        set(${variable} ${target})
    endif()
endforeach()

set(missing)
# Helpers and stand-ins of the other bitness; the consumers' own toolchain.
find_program(GORVALE_OTHER_CXX NAMES ${GORVALE_OTHER_TRIPLE}-g++-posix ${GORVALE_OTHER_TRIPLE}-g++)
find_program(GORVALE_THIS_CXX NAMES ${GORVALE_TRIPLE}-g++)
# Callers of the platform's own C++ ABI, linked with MinGW's kernel32.
find_program(GORVALE_CLANG NAMES clang-19 clang)
find_program(GORVALE_LLD_LINK NAMES lld-link-19 lld-link)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libkernel32.a
    OUTPUT_VARIABLE GORVALE_MINGW_KERNEL32 OUTPUT_STRIP_TRAILING_WHITESPACE)
# Running them.
find_program(GORVALE_WINE NAMES wine)
find_program(GORVALE_WINESERVER NAMES wineserver)
foreach(tool GORVALE_OTHER_CXX GORVALE_THIS_CXX GORVALE_CLANG GORVALE_LLD_LINK GORVALE_WINE GORVALE_WINESERVER)
    if(NOT ${tool})
        string(REGEX REPLACE "^GORVALE_" "" tool ${tool})
        list(APPEND missing ${tool})
    endif()
endforeach()
if(NOT IS_ABSOLUTE "${GORVALE_MINGW_KERNEL32}")
    list(APPEND missing "MinGW's libkernel32.a")
endif()
# GoogleTest: installed, or from the sources Debian ships; it needs std::mutex,
# which MinGW's win32 thread model lacks.
find_package(GTest QUIET)
if(NOT GTest_FOUND AND NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    list(APPEND missing GoogleTest)
endif()
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <mutex>\nstd::mutex m;\nint main() { m.lock(); }" GORVALE_CXX_HAS_MUTEX)
if(NOT GORVALE_CXX_HAS_MUTEX)
    list(APPEND missing "std::mutex in ${CMAKE_CXX_COMPILER} (MinGW's posix thread model has it)")
endif()

if(missing)
    list(JOIN missing ", " missing)
    message(WARNING "Gorvale's tests are not built, for want of: ${missing}. "
                    "The DLL and gorvale-check are. (scripts/setup.sh installs what the tests need.)")
    set(gorvale_tests OFF)
endif()
