include(CMakePackageConfigHelpers)

install(TARGETS talvox EXPORT talvoxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT talvoxTargets NAMESPACE talvox::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/talvox)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/talvoxConfig.cmake.in
  ${PROJECT_BINARY_DIR}/talvoxConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/talvox)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/talvoxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/talvoxConfig.cmake ${PROJECT_BINARY_DIR}/talvoxConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/talvox)

# Relative to the .pc file, so an installed tree can be moved.
file(RELATIVE_PATH TALVOX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/talvox.pc.in ${PROJECT_BINARY_DIR}/talvox.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/talvox.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
