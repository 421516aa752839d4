# SPDX-License-Identifier: MIT
# Two Debian packages from one build (`cpack -G DEB` in the build directory,
# or scripts/package.sh, which adds Debian's hardening flags and lintian):
#   vorneck-cli   the engine and the command line (component cli: everything
#                 installed without a component of its own); no Qt
#   vorneck       the window and its desktop integration (component window),
#                 built only with VORNECK_BUILD_UI
# The version is project()'s, with the Debian revision below; the newest
# entry of packaging/changelog has to carry the same (a test checks it).

set(VORNECK_DEB_REVISION 1)
set(VORNECK_MAINTAINER "Vorneck developers <vorneck@users.noreply.example>")

# The licence and, in the packages only, the Debian changelog, in each
# package's documentation directory.
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in
               ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
set(_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${_changelog}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog
          ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  COMMAND gzip -9 -n -f ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vorneck-changelog ALL DEPENDS ${_changelog})

set(_components cli)
if(VORNECK_BUILD_UI)
  list(APPEND _components window)
endif()
foreach(component IN LISTS _components)
  if(component STREQUAL "cli")
    set(package vorneck-cli)
  else()
    set(package vorneck)
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  install(FILES ${_changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR "DEB")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${_components})
set(CPACK_PACKAGE_NAME "vorneck")
set(CPACK_PACKAGE_VENDOR "The Vorneck developers")
set(CPACK_PACKAGE_CONTACT "${VORNECK_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "vorneck")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VORNECK_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SOURCE "vorneck")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# dpkg-shlibdeps finds the libraries the programs link, whatever they are.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Stripped as dh_strip strips (symbols, .comment and .note).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripDebianStyle.cmake)
set(CPACK_VORNECK_STRIP "${CMAKE_STRIP}")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME "vorneck-cli")
# libsndfile, libcrypto and libxmp are opened at run time, so dpkg-shlibdeps
# does not see them.
list(JOIN VORNECK_LATE_BOUND_PACKAGES ", " _late_bound)
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "${_late_bound}")
set(CPACK_DEBIAN_CLI_DESCRIPTION "instrument sample extractor for music modules (command line)
vorneck-cli reads four-channel, 31-instrument music modules (signatures M.K.,
M!K! and FLT4) and MMD modules (MMD0 to MMD3), and writes the bytes of every
instrument's sample, unchanged and without a header, to a file of its own,
named after the sample's number and the module.

It takes module files and whole directories, chooses a directory's files by a
wildcard pattern, can give each module a directory of its own, and can list
what a run would write without writing anything.

The window program is in the package vorneck.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME "vorneck")
# Qt loads its X11 platform plugin from qt6-qpa-plugins, which Qt's own
# libraries only recommend: without it the window cannot start.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The faces the window asks for: "MS Sans Serif" and a Times-like serif.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "fonts-wine, fonts-liberation")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS "vorneck-cli")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION "instrument sample extractor for music modules (window)
Vorneck reads four-channel, 31-instrument music modules (signatures M.K., M!K!
and FLT4) and MMD modules (MMD0 to MMD3), and writes the bytes of every
instrument's sample, unchanged and without a header, to a file of its own,
named after the sample's number and the module.

A directory's files are listed in one window; select modules by hand or by a
wildcard pattern, choose a destination, and run. Each module's samples can go
into a directory of their own.

The command-line program is in the package vorneck-cli.")

include(CPack)
