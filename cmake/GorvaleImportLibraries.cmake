# Gorvale's own import libraries, made from the export .def files of src/:
# libGorvale.dll.a for g++ callers, by MinGW's dlltool, in either family
# where it is found; and, under MinGW, Gorvale.lib for MSVC callers, by
# llvm-dlltool (the MSVC toolchain's link writes that itself). Each is made in
# its own folder under a name without a path, so that no build path ends up
# inside it. Sets import_libs and imported_implib; included by src/.
#
# MinGW's dlltool: under a MinGW toolchain, the one CMake found for it, else
# the one named like the compiler (i686-w64-mingw32-g++ and
# i686-w64-mingw32-dlltool); under the MSVC toolchain, only where the
# toolchain names MinGW's target or a user gives one.
if(NOT MSVC AND CMAKE_DLLTOOL)
    set(GORVALE_MINGW_DLLTOOL ${CMAKE_DLLTOOL} CACHE FILEPATH "MinGW's dlltool, which makes libGorvale.dll.a")
elseif(NOT MSVC)
    get_filename_component(compiler_name ${CMAKE_CXX_COMPILER} NAME)
    string(REGEX REPLACE "(g|c|clang)\\+\\+(-posix|-win32)?(-[0-9.]+)?(\\.exe)?$" "" compiler_prefix ${compiler_name})
    find_program(GORVALE_MINGW_DLLTOOL ${compiler_prefix}dlltool DOC "MinGW's dlltool, which makes libGorvale.dll.a")
elseif(GORVALE_TRIPLE)
    find_program(GORVALE_MINGW_DLLTOOL ${GORVALE_TRIPLE}-dlltool DOC "MinGW's dlltool, which makes libGorvale.dll.a")
endif()
find_program(GORVALE_LLVM_DLLTOOL NAMES llvm-dlltool-19 llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14)

set(mingw_import_lib ${lib_dir}/libGorvale.dll.a)
set(msvc_import_lib ${lib_dir}/Gorvale.lib)
if(MSVC)
    set(import_libs ${msvc_import_lib})
    set(imported_implib ${msvc_import_lib})
else()
    set(import_libs)
    set(imported_implib ${mingw_import_lib})
    if(GORVALE_LLVM_DLLTOOL)
        add_custom_command(OUTPUT ${msvc_import_lib}
            COMMAND ${GORVALE_LLVM_DLLTOOL} -m ${GORVALE_DLLTOOL_MACHINE} -d ${export_def} -l Gorvale.lib
            WORKING_DIRECTORY ${lib_dir}
            DEPENDS ${export_def}
            COMMENT "MSVC import library Gorvale.lib")
        list(APPEND import_libs ${msvc_import_lib})
    else()
        message(STATUS "llvm-dlltool not found: Gorvale.lib, the import library for MSVC callers, is not made")
    endif()
endif()
if(GORVALE_MINGW_DLLTOOL)
    add_custom_command(OUTPUT ${mingw_import_lib}
        COMMAND ${GORVALE_MINGW_DLLTOOL} --deterministic-libraries -m ${GORVALE_DLLTOOL_MACHINE} -t libGorvale
                -d ${mingw_import_def} -l libGorvale.dll.a
        WORKING_DIRECTORY ${lib_dir}
        DEPENDS ${mingw_import_def}
        COMMENT "MinGW import library libGorvale.dll.a")
    list(APPEND import_libs ${mingw_import_lib})
elseif(NOT MSVC)
    message(FATAL_ERROR "MinGW's dlltool not found (CMAKE_DLLTOOL, or one named like the compiler): "
                        "it makes libGorvale.dll.a; give it with -DGORVALE_MINGW_DLLTOOL=<path>")
else()
    message(STATUS "MinGW's dlltool not found: libGorvale.dll.a, the import library for g++ callers, is not made "
                   "(give one with -DGORVALE_MINGW_DLLTOOL=<path>)")
endif()
add_custom_target(GorvaleImportLibraries ALL DEPENDS ${import_libs} Gorvale)
if(msvc_import_lib IN_LIST import_libs)
    set(GORVALE_MSVC_IMPORT_LIB ${msvc_import_lib} PARENT_SCOPE)
endif()
