# 64-bit Windows with clang-cl and lld-link.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(GORVALE_MSVC_TARGET x86_64-pc-windows-msvc)
# MinGW's name for the target, whose dlltool makes the import library for g++.
set(GORVALE_TRIPLE x86_64-w64-mingw32)
set(GORVALE_WINE_BUILTINS _InterlockedCompareExchange128)
# The load configuration's x64 dispatch routine is MASM source.
find_program(GORVALE_LLVM_ML NAMES llvm-ml-19 llvm-ml REQUIRED)
set(CMAKE_ASM_MASM_COMPILER ${GORVALE_LLVM_ML})
set(CMAKE_ASM_MASM_FLAGS_INIT -m64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl-common.cmake)
