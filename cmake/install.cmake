# cmake --install: the library, its public header (as <zevart/art_handle.h>),
# the zevart tool and the docs in the usual places, with a CMake package
# (find_package(zevart) -> zevart::zevart) and a pkg-config file (zevart.pc).
include(CMakePackageConfigHelpers)

install(TARGETS zevart EXPORT zevartTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
set(headers artlib/art_handle.h)
if(NOT WIN32)
  list(APPEND headers artlib/win_types.h) # what <windows.h> gives elsewhere
endif()
install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zevart)
install(TARGETS zevart_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md")
if(NOT WIN32)
  install(FILES docs/zevart.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zevart)
install(EXPORT zevartTargets NAMESPACE zevart:: DESTINATION ${cmake_dir})
configure_package_config_file(cmake/package/zevartConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/zevartConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/zevartConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/zevartConfig.cmake
              ${CMAKE_BINARY_DIR}/package/zevartConfigVersion.cmake DESTINATION ${cmake_dir})
configure_file(cmake/package/zevart.pc.in ${CMAKE_BINARY_DIR}/package/zevart.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/zevart.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
