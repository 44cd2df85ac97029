# 64-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(GORVALE_TRIPLE x86_64-w64-mingw32)
# The other bitness, for helper processes that a 64-bit caller sees as 32-bit.
set(GORVALE_OTHER_TRIPLE i686-w64-mingw32)
# What the platform's own C++ compiler and tools call this target.
set(GORVALE_MSVC_TARGET x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
