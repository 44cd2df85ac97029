# Shared by the MinGW-w64 toolchain files, which set GORVALE_TRIPLE and friends
# first. Programs built with them run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

# The posix flavour of MinGW's g++ has std::thread and std::mutex, which
# GoogleTest needs; nothing built here links a threading DLL.
set(CMAKE_C_COMPILER ${GORVALE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GORVALE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GORVALE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GORVALE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages such as an installed Gorvale may live anywhere.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# No link time in any program, the tests' included, so that builds repeat.
set(CMAKE_EXE_LINKER_FLAGS_INIT -Wl,--no-insert-timestamp)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -Wl,--no-insert-timestamp)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -Wl,--no-insert-timestamp)
