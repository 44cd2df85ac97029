# Which Windows architecture a build targets (x86, x64 or arm64), told from
# the target: the pointer size alone would take ARM64 for x64. The installed
# package's version file reads it too, to refuse a consumer of another one.
function(gorvale_target_architecture result)
    if(CMAKE_CXX_COMPILER_ARCHITECTURE_ID MATCHES "^(ARM64|aarch64)$"
       OR CMAKE_C_COMPILER_ARCHITECTURE_ID MATCHES "^(ARM64|aarch64)$"
       OR (NOT CMAKE_CXX_COMPILER_ARCHITECTURE_ID AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM64|aarch64|arm64)$"))
        set(${result} arm64 PARENT_SCOPE)
    elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(${result} x64 PARENT_SCOPE)
    elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(${result} x86 PARENT_SCOPE)
    else()
        set(${result} "" PARENT_SCOPE)
    endif()
endfunction()
