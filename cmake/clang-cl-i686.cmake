# 32-bit Windows with clang-cl and lld-link.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(GORVALE_MSVC_TARGET i686-pc-windows-msvc)
# MinGW's name for the target, whose dlltool makes the import library for g++.
set(GORVALE_TRIPLE i686-w64-mingw32)
set(GORVALE_WINE_BUILTINS _InterlockedAnd64 _InterlockedCompareExchangePointer _InterlockedDecrement64
    _InterlockedExchangeAdd64 _InterlockedExchangePointer _InterlockedIncrement64 _InterlockedOr64 _InterlockedXor64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl-common.cmake)
