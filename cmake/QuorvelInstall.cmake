# Installation and the Debian package.
#
#   <prefix>/lib/quorvel/quorvel            the program
#   <prefix>/lib/quorvel/plugins/*.so       its plug-ins, found by walking the
#                                           program's own directory tree
#   <prefix>/bin/quorvel                    relative link to the program
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1
include(GNUInstallDirs)

set(QUORVEL_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/quorvel CACHE STRING
  "Directory of the program and its plug-ins, relative to the prefix")
# The date of the release named by the project version.
set(QUORVEL_RELEASE_DATE 2026-12-09)

install(TARGETS quorvel RUNTIME DESTINATION ${QUORVEL_INSTALL_APPDIR})
install(TARGETS fennic tolvar LIBRARY DESTINATION ${QUORVEL_INSTALL_APPDIR}/plugins)

# The link is made here and installed as a link; relative, so that the tree
# works under any prefix and DESTDIR.
file(RELATIVE_PATH link_target /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QUORVEL_INSTALL_APPDIR}/quorvel)
set(link ${CMAKE_BINARY_DIR}/install/quorvel)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ${link_target} ${link} SYMBOLIC)
install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR})

set(data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${data}/quorvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  RENAME ${QUORVEL_DESKTOP_ID}.desktop)
configure_file(${data}/quorvel.metainfo.xml.in ${CMAKE_BINARY_DIR}/install/${QUORVEL_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${QUORVEL_DESKTOP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
configure_file(${data}/quorvel.1.in ${CMAKE_BINARY_DIR}/install/quorvel.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/quorvel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${data}/icons/quorvel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(GLOB icon_pngs ${data}/icons/png/quorvel-*.png)
foreach(png ${icon_pngs})
  string(REGEX REPLACE ".*quorvel-([0-9]+)\\.png$" "\\1" size ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME quorvel.png)
endforeach()

# cpack -G DEB: quorvel_<version>_<arch>.deb, its dependencies read from the
# libraries the program and plug-ins link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Varnholt)
set(CPACK_PACKAGE_CONTACT "Varnholt <quorvel@quorvel.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Zelmar, a tabbed Unicode plain-text editor")
set(CPACK_PACKAGE_DESCRIPTION "Edits plain-text files in UTF-8, UTF-16 or the locale's character set, \
several at once on tabs, with regular-expression search and replace, keyboard macros and plug-ins.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://quorvel.example.org/)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
