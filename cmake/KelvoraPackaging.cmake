# What `cmake --install` puts on a Linux system, and the packages CPack makes of it: a .deb and a
# .tar.gz (the Windows build's are in KelvoraPackagingWindows.cmake). Read by the top
# CMakeLists.txt after every target exists.
#
#   bin/kelvora, bin/kelvora-cli
#   lib/kelvora/modules/libkelvora-services.so (lib/<multiarch>/kelvora/... for the prefix /usr)
#   share/applications/<id>.desktop, share/metainfo/<id>.metainfo.xml
#   share/icons/hicolor/<size>x<size>/apps/<id>.png (drawn from the program's emblem at build time)
#   share/man/man1/kelvora.1.gz, kelvora-cli.1.gz
#   share/doc/kelvora/copyright, changelog.Debian.gz
set(KELVORA_HOMEPAGE "http://www.tolvane.example/backup/" CACHE STRING "The program's home page, as the packages name it")
set(KELVORA_MAINTAINER "Tolvane <kelvora@tolvane.example>" CACHE STRING "The packages' maintainer: name and mail address")
string(TIMESTAMP kelvora_year "%Y" UTC)
set(KELVORA_COPYRIGHT "${kelvora_year} Tolvane" CACHE STRING "The packages' copyright notice: years and holder")
# The repository holds no license yet. Until its maintainer chooses one, the packages say what that
# means: all rights reserved. Set the SPDX name and the file with the license's text when chosen.
set(KELVORA_PROJECT_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX name of the program's license")
set(KELVORA_LICENSE_FILE "" CACHE FILEPATH "File with the text of the program's license")
# The date of this release, in the metainfo, the man pages and the Debian changelog: the day of
# configuring, unless SOURCE_DATE_EPOCH fixes it (a release sets it to its commit's time, so that
# equal sources give equal packages).
string(TIMESTAMP KELVORA_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KELVORA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
# The Debian revision: the package of one upstream version made again gets the next number.
set(KELVORA_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(KELVORA_DEB_VERSION "${PROJECT_VERSION}-${KELVORA_DEB_RELEASE}")

# The license's text as plain paragraphs, for every platform's packages.
if(KELVORA_LICENSE_FILE)
  file(READ ${KELVORA_LICENSE_FILE} KELVORA_LICENSE_TEXT_PLAIN)
else()
  set(KELVORA_LICENSE_TEXT_PLAIN "No license has been chosen for Kelvora yet: all rights are reserved by the\ncopyright holder.")
endif()
string(STRIP "${KELVORA_LICENSE_TEXT_PLAIN}" KELVORA_LICENSE_TEXT_PLAIN)

# What every package says of itself. Binaries go in stripped.
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_CONTACT "${KELVORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up and restore the data and settings of web browsers")
set(CPACK_PACKAGE_HOMEPAGE_URL "${KELVORA_HOMEPAGE}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  # The Windows installer and the portable .zip.
  include(KelvoraPackagingWindows)
  return()
endif()
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(kelvora_pkg_src ${PROJECT_SOURCE_DIR}/packaging/linux)
set(kelvora_pkg_out ${PROJECT_BINARY_DIR}/packaging)
set(kelvora_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelvora)
find_program(KELVORA_GZIP gzip REQUIRED)

install(TARGETS kelvora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The platform's module for HTTP and the desktop trash (src/platform/posix/services.h), in the
# package's own library folder, where the programs look for it relative to themselves (so the
# unpacked .tar.gz works from any folder). dpkg-shlibdeps reads the libraries it links.
install(TARGETS kelvora_services LIBRARY DESTINATION ${KELVORA_PRIVATE_LIB_DIR})

# Man pages, gzipped as Debian keeps them (-n: no name or time inside, so equal builds give equal
# files). kelvora-cli's is made by help2man from its --help and --version.
set(kelvora_man_pages)
find_program(KELVORA_HELP2MAN help2man)
if(KELVORA_HELP2MAN)
  add_custom_command(
    OUTPUT ${kelvora_pkg_out}/kelvora-cli.1.gz
    COMMAND ${KELVORA_HELP2MAN} --no-info --no-discard-stderr --include=${kelvora_pkg_src}/kelvora-cli.h2m
            --output=${kelvora_pkg_out}/kelvora-cli.1 $<TARGET_FILE:kelvora-cli>
    COMMAND ${KELVORA_GZIP} -9nf ${kelvora_pkg_out}/kelvora-cli.1
    DEPENDS kelvora-cli ${kelvora_pkg_src}/kelvora-cli.h2m
    COMMENT "Writing the man page of kelvora-cli"
    VERBATIM)
  list(APPEND kelvora_man_pages ${kelvora_pkg_out}/kelvora-cli.1.gz)
else()
  message(STATUS "help2man not found: kelvora-cli's man page is left out (scripts/setup.sh installs it)")
endif()

if(TARGET kelvora)
  install(TARGETS kelvora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  configure_file(${kelvora_pkg_src}/kelvora.desktop.in ${kelvora_pkg_out}/${KELVORA_APP_ID}.desktop @ONLY)
  configure_file(${kelvora_pkg_src}/kelvora.metainfo.xml.in ${kelvora_pkg_out}/${KELVORA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${kelvora_pkg_out}/${KELVORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${kelvora_pkg_out}/${KELVORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

  # The icon theme's sizes, drawn from the emblem the window shows.
  set(kelvora_icon_args)
  set(kelvora_icons)
  foreach(size 48 64 128 256)
    set(png ${kelvora_pkg_out}/icons/${size}x${size}/apps/${KELVORA_APP_ID}.png)
    list(APPEND kelvora_icon_args ${size} ${png})
    list(APPEND kelvora_icons ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  set(kelvora_icon_dirs ${kelvora_icons})
  list(TRANSFORM kelvora_icon_dirs REPLACE "/[^/]*$" "")
  add_custom_command(
    OUTPUT ${kelvora_icons}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kelvora_icon_dirs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:kelvora-make-icon> --png ${kelvora_icon_args}
    DEPENDS kelvora-make-icon
    COMMENT "Drawing the program's icons"
    VERBATIM)

  configure_file(${kelvora_pkg_src}/kelvora.1.in ${kelvora_pkg_out}/kelvora.1 @ONLY)
  add_custom_command(
    OUTPUT ${kelvora_pkg_out}/kelvora.1.gz
    COMMAND ${KELVORA_GZIP} -9nkf ${kelvora_pkg_out}/kelvora.1
    DEPENDS ${kelvora_pkg_out}/kelvora.1
    VERBATIM)
  list(APPEND kelvora_man_pages ${kelvora_pkg_out}/kelvora.1.gz)
endif()
if(kelvora_man_pages)
  install(FILES ${kelvora_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# /usr/share/doc/kelvora: the copyright file (Debian's machine-readable format, the license's text
# indented by one space, " ." for an empty line) and the Debian changelog.
set(kelvora_license_text "${KELVORA_LICENSE_TEXT_PLAIN}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" kelvora_license_text "${kelvora_license_text}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" kelvora_license_text "${kelvora_license_text}")
string(REPLACE "\n" "\n " KELVORA_LICENSE_TEXT " ${kelvora_license_text}")
configure_file(${kelvora_pkg_src}/copyright.in ${kelvora_pkg_out}/copyright @ONLY)
configure_file(${kelvora_pkg_src}/changelog.Debian.in ${kelvora_pkg_out}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${kelvora_pkg_out}/changelog.Debian.gz
  COMMAND ${KELVORA_GZIP} -9nkf ${kelvora_pkg_out}/changelog.Debian
  DEPENDS ${kelvora_pkg_out}/changelog.Debian
  VERBATIM)
install(FILES ${kelvora_pkg_out}/copyright ${kelvora_pkg_out}/changelog.Debian.gz DESTINATION ${kelvora_doc_dir})
# What lintian is told to pass over, each with its reason.
install(FILES ${kelvora_pkg_src}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME kelvora)

add_custom_target(kelvora_install_files ALL DEPENDS ${kelvora_man_pages} ${kelvora_icons}
                                                    ${kelvora_pkg_out}/changelog.Debian.gz)

# CPack: the .deb and the .tar.gz from the same install tree, the binaries stripped.
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME "kelvora-${PROJECT_VERSION}-Linux-${CMAKE_SYSTEM_PROCESSOR}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELVORA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELVORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The extended description below the synopsis (CPACK_PACKAGE_DESCRIPTION_SUMMARY); CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvora backs up and restores the data and settings of Firefox, Chrome,
Microsoft Edge, Brave, Vivaldi, Chromium and Opera, and of Internet
Explorer, Safari and Flock on Windows installations: selective and full
backups into single archives, their restores and an undo of the last
restore. It works on your own profiles or on a Windows installation seen
as a folder (a mounted Windows disk or a Wine prefix).
.
This package holds the window (kelvora) and the command line (kelvora-cli).")
include(CPack)
