# Read by cpack once for each generator of the Windows build: the installer is
# Kelvora-<version>-win64-setup.exe beside the portable Kelvora-<version>-win64.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
