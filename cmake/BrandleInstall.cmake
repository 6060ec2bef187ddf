# SPDX-License-Identifier: MIT
#
# What an installation adds besides the programs, their libraries, the alert sounds and the
# service documents (installed by their own folders): the icon, the desktop file, the AppStream
# metainfo and the manual pages; and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

# Everything an installation holds, built: the programs, the web-window helper, the alert sounds.
add_custom_target(brandle_programs)
add_dependencies(brandle_programs brandle-check brandle-report brandle-host brandle_alerts)
if(BRANDLE_BUILD_GUI)
  add_dependencies(brandle_programs brandle brandle-web)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/assets/brandle.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(BRANDLE_BUILD_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/brandle.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/org.brandle.Brandle.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(BRANDLE_MAN_PAGES brandle-check brandle-report brandle-host)
if(BRANDLE_BUILD_GUI)
  list(APPEND BRANDLE_MAN_PAGES brandle)
endif()
foreach(page IN LISTS BRANDLE_MAN_PAGES)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package. dpkg-shlibdeps finds the libraries the programs link (and the web view's
# helper process); the plugins Qt loads at run time are listed by hand: the platform plugins
# that show windows, and the SVG icon engine for the themed icon.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brandle)
set(CPACK_PACKAGE_VENDOR "The Brandle developers")
set(CPACK_PACKAGE_CONTACT "The Brandle developers <brandle@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "tray program that counts the pages linking to a web site")
set(CPACK_PACKAGE_DESCRIPTION
  "Brandle lives in the system tray and tells you how many pages link to a web site. It asks
the engines its service host lists, adds the counts up, compares them with the previous run,
logs every result and charts a site's daily counts. brandle-check and brandle-report do the
same from the command line; brandle-host is the bundled service host.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
include(CPack)
