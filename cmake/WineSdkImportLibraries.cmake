# For the clang-cl toolchain files, which have no Windows SDK: import
# libraries for the platform's calls, made at build time by llvm-dlltool from
# the .def files the toolchain names (GORVALE_PLATFORM_IMPORT_DEFS), which
# carry the x86 stdcall decorations; other architectures' names carry none.
# Sets GORVALE_PLATFORM_LIBRARIES, for the library and the runtime-free test
# programs to link.
set(platform_dir ${PROJECT_BINARY_DIR}/platform)
set(GORVALE_PLATFORM_LIBRARIES)
foreach(def ${GORVALE_PLATFORM_IMPORT_DEFS})
    get_filename_component(name ${def} NAME_WE)
    file(READ ${def} content)
    if(NOT GORVALE_ARCH STREQUAL "x86")
        string(REGEX REPLACE "@[0-9]+" "" content "${content}")
    endif()
    file(WRITE ${platform_dir}/${name}.def "${content}")
    add_custom_command(OUTPUT ${platform_dir}/${name}.lib
        COMMAND ${GORVALE_LLVM_DLLTOOL} -m ${GORVALE_DLLTOOL_MACHINE} -k -d ${name}.def -l ${name}.lib
        WORKING_DIRECTORY ${platform_dir}
        DEPENDS ${def}
        COMMENT "Import library ${name}.lib")
    list(APPEND GORVALE_PLATFORM_LIBRARIES ${platform_dir}/${name}.lib)
endforeach()
add_custom_target(GorvalePlatformLibraries DEPENDS ${GORVALE_PLATFORM_LIBRARIES})
