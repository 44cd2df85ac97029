# The installed tree, one architecture's, with a package for
# find_package(Gorvale); included by src/ where GORVALE_INSTALL asks.
install(TARGETS Gorvale RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
if(MSVC)
    install(FILES $<TARGET_PDB_FILE:Gorvale> DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${import_libs} DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/Gorvale.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Gorvale)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/GorvaleConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/GorvaleConfig.cmake
    INSTALL_DESTINATION ${config_dir}
    PATH_VARS CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
# The version file refuses a consumer of another architecture, told as this
# build tells its own (GorvaleArchitecture.cmake, installed beside it): the
# pointer size alone would let an ARM64 consumer take the x64 package.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/GorvaleSameMajorVersion.cmake
    COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
configure_file(${PROJECT_SOURCE_DIR}/cmake/GorvaleConfigVersion.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/GorvaleConfigVersion.cmake @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/GorvaleConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/GorvaleConfigVersion.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/GorvaleSameMajorVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/GorvaleArchitecture.cmake
        DESTINATION ${config_dir})
