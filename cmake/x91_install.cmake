# cmake --install: the command and its man page, the codec library (shared
# and static) with its C header, a CMake package (find_package(x91) gives
# x91::x91, shared, and x91::x91_static), a pkg-config file (x91.pc) and the
# licence (LGPL-2.1-or-later).
include(CMakePackageConfigHelpers)

install(TARGETS x91 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/x91.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/COPYING DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(TARGETS x91_shared x91_static EXPORT x91Targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/x91/x91.h ${PROJECT_SOURCE_DIR}/include/x91/constants.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/x91)

set(X91_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/x91)
install(EXPORT x91Targets NAMESPACE x91:: DESTINATION ${X91_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/x91Config.cmake.in
  ${PROJECT_BINARY_DIR}/x91Config.cmake INSTALL_DESTINATION ${X91_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/x91ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/x91Config.cmake ${PROJECT_BINARY_DIR}/x91ConfigVersion.cmake
  DESTINATION ${X91_CMAKE_DIR})

# Relative to the .pc file's own place, so that an install under any
# --prefix finds its library and header.
file(RELATIVE_PATH X91_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${PROJECT_SOURCE_DIR}/cmake/x91.pc.in ${PROJECT_BINARY_DIR}/x91.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/x91.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
