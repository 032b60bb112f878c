# Version, install layout of the shared files, and the Debian package (cpack -G DEB).
# The one version number is project(VERSION); the programs and the About box get it
# through Zeb7Version.cpp.
include(GNUInstallDirs)

set_source_files_properties(${PROJECT_SOURCE_DIR}/core/Zeb7Version.cpp
  DIRECTORY ${PROJECT_SOURCE_DIR}/core ${PROJECT_SOURCE_DIR}/sim
  PROPERTIES COMPILE_DEFINITIONS "ZEB7_VERSION=\"${PROJECT_VERSION}\"")

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)

# Man page: the version filled in, compressed as Debian keeps them.
configure_file(${_pkg}/man/zeb7ctl.1 ${PROJECT_BINARY_DIR}/man/zeb7ctl.1 @ONLY)
find_program(ZEB7_GZIP gzip)
if(ZEB7_GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/zeb7ctl.1.gz
    COMMAND ${ZEB7_GZIP} -9 -n -c ${PROJECT_BINARY_DIR}/man/zeb7ctl.1 > ${PROJECT_BINARY_DIR}/man/zeb7ctl.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/man/zeb7ctl.1 ${_pkg}/man/zeb7ctl.1
    VERBATIM)
  add_custom_target(zeb7_manpages ALL DEPENDS ${PROJECT_BINARY_DIR}/man/zeb7ctl.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/zeb7ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${PROJECT_BINARY_DIR}/man/zeb7ctl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET zeb7)
  install(FILES ${_pkg}/zeb7.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_pkg}/icons/zeb7.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${_pkg}/icons/zeb7-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zeb7.png)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME zeb7)
set(CPACK_PACKAGE_VENDOR "zeb7 developers")
set(CPACK_PACKAGE_CONTACT "zeb7 developers <zeb7@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Set-up and service tool for servo drives")
set(CPACK_PACKAGE_DESCRIPTION "Sets up, monitors and services servo drives over an RS-232 line: parameter
displays on sheets, parameter files, firmware programming, flash upload and
the recorder oscillogram (zeb7), the same as command-line verbs (zeb7ctl), and
a virtual drive for training and tests (zeb7-sim).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY zeb7)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link (dpkg-shlibdeps, package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
