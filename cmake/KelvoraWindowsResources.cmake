# kelvora_windows_resources(<target> DESCRIPTION <text>) gives a Windows executable the program's
# icon, its application manifest and version information made from project(VERSION), from the
# templates in src/app. Does nothing in other builds.
function(kelvora_windows_resources target)
  cmake_parse_arguments(R "" "DESCRIPTION" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(app ${PROJECT_SOURCE_DIR}/src/app)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  set(KELVORA_RC_NAME ${target})
  set(KELVORA_RC_FILENAME ${target}.exe)
  set(KELVORA_RC_DESCRIPTION ${R_DESCRIPTION})
  set(KELVORA_RC_ICON ${app}/kelvora.ico)
  set(KELVORA_RC_MANIFEST ${out}/${target}.manifest)
  configure_file(${app}/kelvora.manifest.in ${KELVORA_RC_MANIFEST} @ONLY)
  configure_file(${app}/kelvora.rc.in ${out}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${out}/${target}.rc)
  # windres reads the icon and the manifest: a change to either rebuilds the resources.
  set_property(SOURCE ${out}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${KELVORA_RC_ICON} ${KELVORA_RC_MANIFEST})
endfunction()
