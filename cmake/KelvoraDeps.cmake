# Libraries the Windows build needs that Debian ships only as source: scripts/windows-deps.sh builds
# each from Debian's source package into a cache outside the build tree, one folder per library and
# Debian version ("sqlite3-3.40.1-2+deb12u2", "qtbase-6.4.2+dfsg-10"). The cache is
# $KELVORA_DEPS_CACHE, else ~/.cache/kelvora/mingw, as for the script.
if(NOT "$ENV{KELVORA_DEPS_CACHE}" STREQUAL "")
  set(KELVORA_DEPS_CACHE "$ENV{KELVORA_DEPS_CACHE}")
else()
  set(KELVORA_DEPS_CACHE "$ENV{HOME}/.cache/kelvora/mingw")
endif()

# Sets <var> to the newest build of library <name> in that cache; stops the configuration with what
# to do when there is none.
function(kelvora_cached_dependency name var)
  file(GLOB builds LIST_DIRECTORIES true "${KELVORA_DEPS_CACHE}/${name}-[0-9]*")
  list(SORT builds COMPARE NATURAL ORDER DESCENDING)
  foreach(build IN LISTS builds)
    if(IS_DIRECTORY ${build})
      set(${var} ${build} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "The Windows build needs ${name} for mingw-w64, which Debian has only as source, and "
                      "${KELVORA_DEPS_CACHE} holds no build of it. Run scripts/windows-deps.sh: it builds it "
                      "from Debian's source package into that cache (once), then configure again.")
endfunction()

# Third-party libraries, found once for every module.
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

# SQLite: Debian's libsqlite3-dev on Linux. The Windows build takes the static SQLite that
# scripts/windows-deps.sh builds from Debian's source package into its cache, the newest there.
if(WIN32)
  kelvora_cached_dependency(sqlite3 KELVORA_SQLITE3_PREFIX)
  set(SQLite3_DIR ${KELVORA_SQLITE3_PREFIX}/lib/cmake/SQLite3)
  find_package(SQLite3 CONFIG REQUIRED NO_DEFAULT_PATH)
  message(STATUS "SQLite ${SQLite3_VERSION} for Windows: ${KELVORA_SQLITE3_PREFIX}")
else()
  find_package(SQLite3 REQUIRED)
endif()

# Qt, for the window and its tests: Debian's qt6-base-dev on Linux. The Windows build takes the static
# qtbase that scripts/windows-deps.sh builds from Debian's source package into its cache, the newest
# there; its tools (moc, rcc, uic) are the host's Qt of the same version, which that Qt recorded when
# it was built (QT_HOST_PATH). Found once, here: a static Qt's targets must be visible in every folder
# that links the window's libraries.
if(KELVORA_GUI)
  if(WIN32)
    kelvora_cached_dependency(qtbase KELVORA_QT_PREFIX)
    # The toolchain file limits package searches to the mingw root: the cached Qt is one more root.
    list(PREPEND CMAKE_FIND_ROOT_PATH ${KELVORA_QT_PREFIX})
    list(PREPEND CMAKE_PREFIX_PATH ${KELVORA_QT_PREFIX}/lib/cmake)
  endif()
  find_package(Qt6 COMPONENTS Widgets Test REQUIRED)
  if(WIN32)
    message(STATUS "Qt ${Qt6_VERSION} for Windows: ${KELVORA_QT_PREFIX}")
  endif()
endif()

if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
  pkg_check_modules(HIVEX IMPORTED_TARGET hivex)
  pkg_check_modules(LIBDEFLATE IMPORTED_TARGET libdeflate)
  # Intel's ISA-L (Debian's libisal-dev): its igzip deflates and inflates the archive's large records.
  pkg_check_modules(ISAL IMPORTED_TARGET libisal)
  find_package(CURL REQUIRED)
endif()

# CLI11 is header-only; the cross build sees it through a folder holding only its headers.
set(KELVORA_CLI11_DIR ${CMAKE_BINARY_DIR}/third_party/cli11)
if(NOT EXISTS ${KELVORA_CLI11_DIR}/CLI)
  file(MAKE_DIRECTORY ${KELVORA_CLI11_DIR})
  file(CREATE_LINK /usr/include/CLI ${KELVORA_CLI11_DIR}/CLI SYMBOLIC)
endif()
add_library(kelvora_cli11 INTERFACE)
target_include_directories(kelvora_cli11 SYSTEM INTERFACE ${KELVORA_CLI11_DIR})

if(KELVORA_TESTS)
  if(WIN32)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
