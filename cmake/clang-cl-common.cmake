# Shared by the clang-cl toolchain files, which set GORVALE_MSVC_TARGET and
# friends first: the MSVC toolchain family on Linux. clang-cl and lld-link take the
# options of cl.exe and link.exe, so CMake sees MSVC and the build takes the
# branch it takes under Visual Studio. Wine's headers stand in for the Windows
# SDK, and import libraries made from cmake/wine-sdk/*.def for its libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10.0)

find_program(GORVALE_CLANG_CL NAMES clang-cl-19 clang-cl REQUIRED)
find_program(GORVALE_LLD_LINK NAMES lld-link-19 lld-link REQUIRED)
find_program(GORVALE_LLVM_RC NAMES llvm-rc-19 llvm-rc REQUIRED)
find_program(GORVALE_LLVM_DLLTOOL NAMES llvm-dlltool-19 llvm-dlltool REQUIRED)
set(CMAKE_C_COMPILER ${GORVALE_CLANG_CL})
set(CMAKE_CXX_COMPILER ${GORVALE_CLANG_CL})
set(CMAKE_LINKER ${GORVALE_LLD_LINK})
set(CMAKE_RC_COMPILER ${GORVALE_LLVM_RC})
set(CMAKE_C_COMPILER_TARGET ${GORVALE_MSVC_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${GORVALE_MSVC_TARGET})
# No C runtime to link a test program with.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(wine_include /usr/include/wine/wine)
if(NOT EXISTS ${wine_include}/windows/windows.h)
    message(FATAL_ERROR "Wine's Windows headers are missing: install libwine-dev (scripts/setup.sh does)")
endif()
# Wine's winnt.h defines some compiler builtins as functions of its own;
# renamed, they no longer clash, and the library uses none of them.
set(builtins ${GORVALE_WINE_BUILTINS})
list(TRANSFORM builtins REPLACE "^(.+)$" "-D\\1=WineHeader\\1")
list(JOIN builtins " " builtins)
set(CMAKE_CXX_FLAGS_INIT "-imsvc ${wine_include}/msvcrt -imsvc ${wine_include}/windows ${builtins}")
set(CMAKE_C_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT}")
set(CMAKE_RC_FLAGS_INIT "-I ${wine_include}/windows")
# Programs get no manifest from the link; the library's own options say the
# same for the DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT /MANIFEST:NO)

# The platform's import libraries that the library links, made at build time;
# there are no others, so a link names no default ones.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
set(GORVALE_PLATFORM_IMPORT_DEFS ${CMAKE_CURRENT_LIST_DIR}/wine-sdk/kernel32.def
                                 ${CMAKE_CURRENT_LIST_DIR}/wine-sdk/psapi.def)
