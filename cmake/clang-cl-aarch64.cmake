# 64-bit ARM Windows with clang-cl and lld-link. There is no MinGW toolchain
# for it in Debian: the tests run programs built here, without a runtime.
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(GORVALE_MSVC_TARGET aarch64-pc-windows-msvc)
set(GORVALE_WINE_BUILTINS _InterlockedCompareExchange128)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl-common.cmake)
