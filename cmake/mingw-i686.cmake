# 32-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(GORVALE_TRIPLE i686-w64-mingw32)
# The other bitness, for helper processes that a 32-bit caller sees as 64-bit.
set(GORVALE_OTHER_TRIPLE x86_64-w64-mingw32)
# What the platform's own C++ compiler and tools call this target.
set(GORVALE_MSVC_TARGET i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
