# What `cmake --install` puts in a folder of a Windows build, and the packages CPack makes of it:
# an installer (NSIS) and a portable .zip. Included by KelvoraPackaging.cmake, whose variables
# (maintainer, home page, copyright, license) and common CPack settings it uses.
#
#   bin/kelvora.exe, bin/kelvora-cli.exe (stripped by `cmake --install --strip` and by CPack)
#   README.txt, LICENSE.txt
#
# The installer installs for the user who runs it, without administrator rights, into
# %LOCALAPPDATA%\Programs\Kelvora, with Start-menu entries and an uninstaller registered under
# HKEY_CURRENT_USER. The template is packaging/windows/NSIS.template.in: CPack's own asks for
# administrator rights and installs for all users whenever it gets them.
set(kelvora_pkg_src ${PROJECT_SOURCE_DIR}/packaging/windows)
set(kelvora_pkg_out ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS kelvora-cli RUNTIME DESTINATION bin)
if(TARGET kelvora)
  install(TARGETS kelvora RUNTIME DESTINATION bin)
endif()

# The texts beside the programs, with Windows line ends for Notepad.
set(KELVORA_WINDOWS_VERSION ${PROJECT_VERSION})
configure_file(${kelvora_pkg_src}/README.txt.in ${kelvora_pkg_out}/README.txt @ONLY NEWLINE_STYLE CRLF)
file(CONFIGURE OUTPUT ${kelvora_pkg_out}/LICENSE.txt
     CONTENT "Copyright ${KELVORA_COPYRIGHT}\n\n${KELVORA_LICENSE_TEXT_PLAIN}\n" NEWLINE_STYLE CRLF)
install(FILES ${kelvora_pkg_out}/README.txt ${kelvora_pkg_out}/LICENSE.txt DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
# The NSIS lines below hold backslashes, quotes and "$": CPackConfig.cmake keeps them as written.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_FILE_NAME "Kelvora-${PROJECT_VERSION}-win64")
# The installer's file name gets "-setup" (packaging/windows/CPackOptions.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${kelvora_pkg_src}/CPackOptions.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kelvora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kelvora)

# The installer, from the template in packaging/windows (CPack looks there first).
set(CPACK_MODULE_PATH ${kelvora_pkg_src} ${CMAKE_MODULE_PATH})
set(CPACK_NSIS_PACKAGE_NAME Kelvora)
set(CPACK_NSIS_DISPLAY_NAME Kelvora)
set(CPACK_NSIS_INSTALL_ROOT "$LOCALAPPDATA\\Programs")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/app/kelvora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/app/kelvora.ico)
set(CPACK_NSIS_URL_INFO_ABOUT "${KELVORA_HOMEPAGE}")
set(CPACK_NSIS_HELP_LINK "${KELVORA_HOMEPAGE}")
set(CPACK_NSIS_CONTACT "${KELVORA_MAINTAINER}")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# Start menu, folder Kelvora (the package's name): the window, a command prompt in the programs'
# folder that starts with kelvora-cli's help, and the uninstaller (written by the template).
if(TARGET kelvora)
  set(CPACK_PACKAGE_EXECUTABLES kelvora Kelvora)
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\kelvora.exe")
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN kelvora.exe)
else()
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\kelvora-cli.exe")
endif()
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  SetOutPath \"$INSTDIR\\bin\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Kelvora command line.lnk\" \"$SYSDIR\\cmd.exe\" \"/k kelvora-cli.exe --help\" \"$INSTDIR\\bin\\kelvora-cli.exe\" 0
  SetOutPath \"$INSTDIR\"")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Kelvora command line.lnk\"")

# The window keeps its settings beside itself (kelvora.ini): they go with the program, so that its
# folder can go too. Nothing else the user put there is touched.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "  Delete \"$INSTDIR\\bin\\kelvora.ini\"")

include(CPack)
