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
  # Compressed, as Debian keeps man pages; -n leaves the time out, so the
  # package's bytes depend only on the page.
  set(man_page ${CMAKE_BINARY_DIR}/package/zevart.1.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND sh -c "gzip -9 -n -c '${PROJECT_SOURCE_DIR}/docs/zevart.1' >'${man_page}'"
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/zevart.1)
  add_custom_target(zevart_man ALL DEPENDS ${man_page})
  add_dependencies(zevart_cli zevart_man)
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zevart)
install(EXPORT zevartTargets NAMESPACE zevart:: DESTINATION ${cmake_dir})
configure_package_config_file(cmake/package/zevartConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/zevartConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/zevartConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/zevartConfig.cmake
              ${CMAKE_BINARY_DIR}/package/zevartConfigVersion.cmake DESTINATION ${cmake_dir})
# The way up from the file's folder to the prefix: two steps for lib/pkgconfig,
# three for Debian's lib/x86_64-linux-gnu/pkgconfig.
file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(cmake/package/zevart.pc.in ${CMAKE_BINARY_DIR}/package/zevart.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/zevart.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(NOT WIN32)
  # The Debian package (cpack -G DEB; scripts/package): what cmake --install
  # puts under the prefix, which the deb preset makes /usr. Its dependencies
  # come from dpkg-shlibdeps.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME zevart)
  set(CPACK_PACKAGE_VENDOR "zevart developers")
  set(CPACK_PACKAGE_CONTACT "zevart developers <zevart@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "library and tool for the art sets of zev_art.bmp and zev_art.prt")
  set(CPACK_PACKAGE_DESCRIPTION "The zevart library loads art sets (a bitmap file of pixel blocks and an
art-structure file of palettes, images, pictures, frames and groups), draws
their objects and writes them as bitmap files. The zevart tool shows what a
set holds, dumps it as JSON, exports and renders its objects as PNG, APNG,
GIF and BMP files, and unpacks a set into editable files and packs it again.
Includes the header, a CMake package and a pkg-config file.")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  include(CPack)
endif()
