# Cross-compiles for 32-bit Windows with MinGW-w64; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(GORVALE_TRIPLE i686-w64-mingw32)
# The other bitness, for helper processes that a 32-bit caller sees as 64-bit.
set(GORVALE_OTHER_TRIPLE x86_64-w64-mingw32)
# What the platform's own C++ compiler calls this target.
set(GORVALE_MSVC_TARGET i686-pc-windows-msvc)
set(GORVALE_DLLTOOL_MACHINE i386)

set(CMAKE_C_COMPILER ${GORVALE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GORVALE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GORVALE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GORVALE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
