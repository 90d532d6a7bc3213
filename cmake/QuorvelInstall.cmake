# SPDX-License-Identifier: GPL-3.0-or-later
# Installation and the Debian package.
#
#   <prefix>/lib/quorvel/quorvel            the program
#   <prefix>/lib/quorvel/plugins/*.so       its plug-ins, found by walking the
#                                           program's own directory tree
#   <prefix>/bin/quorvel                    relative link to the program
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1
#   <prefix>/share/doc/quorvel/copyright, changelog.gz
include(GNUInstallDirs)

set(QUORVEL_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/quorvel CACHE STRING
  "Directory of the program and its plug-ins, relative to the prefix")
# The date of the release named by the project version.
set(QUORVEL_RELEASE_DATE 2026-12-09)
set(QUORVEL_CHANGELOG_DATE "Wed, 09 Dec 2026 00:00:00 +0000")

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

# The manual page and the changelog compressed as Debian wants them: gzip -9
# without a name or time stamp, so that two builds give the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
function(quorvel_gzip source target)
  add_custom_command(OUTPUT ${target} COMMAND ${GZIP_EXECUTABLE} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()
configure_file(${data}/quorvel.1.in ${CMAKE_BINARY_DIR}/install/quorvel.1 @ONLY)
configure_file(${data}/debian/changelog.in ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
configure_file(${data}/debian/copyright ${CMAKE_BINARY_DIR}/install/copyright @ONLY)
quorvel_gzip(${CMAKE_BINARY_DIR}/install/quorvel.1 ${CMAKE_BINARY_DIR}/install/quorvel.1.gz)
quorvel_gzip(${CMAKE_BINARY_DIR}/install/changelog ${CMAKE_BINARY_DIR}/install/changelog.gz)
add_custom_target(quorvel_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/install/quorvel.1.gz
  ${CMAKE_BINARY_DIR}/install/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/install/quorvel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/install/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

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
set(CPACK_PACKAGE_CONTACT "${QUORVEL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Zelmar, a tabbed Unicode plain-text editor")
# Lines of the package's long description stay under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Edits plain-text files in UTF-8, UTF-16 or the locale's character set,
several at once on tabs, with regular-expression search and replace,
keyboard macros and plug-ins.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${QUORVEL_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws through X11 without it; on a Wayland session it needs the plug-in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
# Directories the package creates carry the usual modes, not the umask's.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
