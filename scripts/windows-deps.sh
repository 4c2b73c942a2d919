#!/usr/bin/env bash
# Builds the libraries the Windows build needs that Debian ships only as source (SQLite and Qt's
# qtbase), from Debian's own source packages and nothing else, with the mingw-w64 toolchain (the
# project's cmake/mingw-w64.cmake), into a cache outside the build tree:
#
#   ${KELVORA_DEPS_CACHE:-$HOME/.cache/kelvora/mingw}/<library>-<Debian version>/
#
# Each library is built once per Debian version of its source package (and again when the way it is
# built here changes: its recipe, recorded in the folder); a later run finds it there
# and does nothing. A library is built in a scratch folder of the cache and renamed into its place
# only when it is complete, so a killed run leaves no half library (the next run removes its
# scratch folder). cmake/KelvoraDeps.cmake finds the newest folder of each library by itself.
#
#   scripts/windows-deps.sh [library...]   # every library, or those named (sqlite3, qtbase)
#
# Adding a library: a function build_<name> that fills "$prefix" from the unpacked source tree
# (it is told the folder the library will finally live in, for libraries that record their own
# path), and an entry in the list below.
set -euo pipefail

# Each library and the Debian source package it is built from, in build order.
declare -A source_package=([sqlite3]=sqlite3 [qtbase]=qt6-base)
libraries=(sqlite3 qtbase)
if (($#)); then
  for name in "$@"; do
    [ -n "${source_package[$name]:-}" ] || {
      echo "windows-deps: no library \"$name\" (known: ${libraries[*]})" >&2
      exit 2
    }
  done
  libraries=("$@")
fi

cache=${KELVORA_DEPS_CACHE:-$HOME/.cache/kelvora/mingw}
toolchain=$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64.cmake
host=x86_64-w64-mingw32
jobs=${KELVORA_JOBS:-2}
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

log() { echo "windows-deps: $*"; }
die() {
  echo "windows-deps: $*" >&2
  exit 1
}

# ---- Debian's sources ---------------------------------------------------------------------------

codename=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"')
[ -n "$codename" ] || die "/etc/os-release names no Debian release (VERSION_CODENAME)"
own_sources=/etc/apt/sources.list.d/kelvora-deb-src.sources

# Prints, for every enabled apt entry of this Debian release (suites "$codename" and
# "$codename-*"), one deb822 stanza per entry: "Types: <type>" first, then URIs, Suites,
# Components and Signed-By as the entry gives them. Reads deb822 ".sources" files and one-line
# ".list" files.
release_entries() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    awk -v release="$codename" '
      function flush(   i, n, s, ok) {
        if (types != "" && enabled != "no") {
          n = split(suites, s, " ")
          ok = 0
          for (i = 1; i <= n; i++)
            if (s[i] == release || index(s[i], release "-") == 1) ok = 1
          if (ok) printf "Types: %s\n%s\n\n", types, fields
        }
        types = ""; suites = ""; fields = ""; enabled = ""; field = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (keep) fields = fields "\n" $0; next }   # a continuation line
      {
        field = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
        keep = 0
        if (field == "types") types = value
        else if (field == "enabled") enabled = tolower(value)
        else if (field == "uris" || field == "suites" || field == "components" || field == "signed-by") {
          if (field == "suites") suites = value
          fields = (fields == "" ? "" : fields "\n") $0
          keep = 1
        }
      }
      END { flush() }
    ' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    awk -v release="$codename" '
      /^[ \t]*(deb|deb-src)[ \t]/ {
        type = $1; i = 2; signed = ""
        if ($2 ~ /^\[/) {                        # options: [arch=amd64 signed-by=/usr/share/...]
          while (i <= NF) {
            opt = $i; gsub(/[\[\]]/, "", opt)
            if (opt ~ /^signed-by=/) signed = substr(opt, 11)
            if ($i ~ /\]$/) { i++; break }
            i++
          }
        }
        uri = $i; suite = $(i + 1); comps = ""
        for (j = i + 2; j <= NF; j++) comps = comps (comps == "" ? "" : " ") $j
        if (suite != release && index(suite, release "-") != 1) next
        printf "Types: %s\nURIs: %s\nSuites: %s\nComponents: %s\n", type, uri, suite, comps
        if (signed != "") printf "Signed-By: %s\n", signed
        print ""
      }
    ' "$f"
  done
}

# Makes sure apt knows the source packages of this Debian release: when no entry of the release has
# the type deb-src, writes kelvora-deb-src.sources with a deb-src twin of each of its deb entries
# (same URIs, suites, components and key), and refreshes apt's lists.
ensure_deb_src() {
  local entries
  entries=$(release_entries)
  if ! grep -Eq '^Types:.*\bdeb-src\b' <<<"$entries"; then
    local stanzas
    stanzas=$(awk '
      /^Types:/ { keep = ($0 ~ /(^Types:|[ \t])deb([ \t]|$)/); if (keep) print "Types: deb-src"; next }
      /^$/ { if (keep) print ""; keep = 0; next }
      keep { print }
    ' <<<"$entries")
    [ -n "$stanzas" ] || die "apt has no entry for Debian $codename to add a deb-src entry beside"
    log "adding $own_sources (deb-src entries of Debian $codename)"
    local tmp
    tmp=$(mktemp)
    {
      echo "# The source packages of Debian's archive, for Kelvora's scripts/windows-deps.sh."
      echo "$stanzas"
    } >"$tmp"
    chmod 644 "$tmp"
    $SUDO install -m 644 "$tmp" "$own_sources.new"
    $SUDO mv -f "$own_sources.new" "$own_sources"
    rm -f "$tmp"
    $SUDO apt-get update -qq
  fi
}

# The newest version of a source package that apt can fetch; apt's lists are refreshed once when
# they don't know it (a deb-src entry that was never fetched).
lists_refreshed=
source_version() {
  local best="" v
  for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ { print $2 }'); do
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  if [ -z "$best" ] && [ -z "$lists_refreshed" ]; then
    lists_refreshed=1
    $SUDO apt-get update -qq >&2
    source_version "$1"
    return
  fi
  [ -n "$best" ] || die "apt offers no source package \"$1\" (see apt-get update's output)"
  echo "$best"
}

# ---- Libraries ------------------------------------------------------------------------------------

# SQLite: the amalgamation (sqlite3.c) is generated natively from Debian's source tree, then compiled
# for Windows into a static library.
sqlite3_cflags=(-O2 -fno-strict-aliasing -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION)
build_sqlite3() {
  local source=$1 prefix=$2 version=$3
  mkdir -p "$source/kelvora-build"
  (
    cd "$source/kelvora-build"
    if ! ../configure --disable-tcl --disable-readline >configure.log 2>&1; then
      tail -20 configure.log >&2
      exit 1
    fi
    if ! make -j"$jobs" sqlite3.c >make.log 2>&1; then
      tail -20 make.log >&2
      exit 1
    fi
  )
  mkdir -p "$prefix/include" "$prefix/lib/cmake/SQLite3"
  "$host-gcc-posix" "${sqlite3_cflags[@]}" -c "$source/kelvora-build/sqlite3.c" -o "$source/kelvora-build/sqlite3.o"
  "$host-ar" rcs "$prefix/lib/libsqlite3.a" "$source/kelvora-build/sqlite3.o"
  cp "$source/kelvora-build/sqlite3.h" "$source/src/sqlite3ext.h" "$prefix/include/"
  local upstream
  upstream=$(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$prefix/include/sqlite3.h")
  cat >"$prefix/lib/cmake/SQLite3/SQLite3Config.cmake" <<EOF
# SQLite $upstream for Windows (mingw-w64), a static library built by Kelvora's
# scripts/windows-deps.sh from Debian's source package sqlite3 $version with:
#   ${sqlite3_cflags[*]}
get_filename_component(_kelvora_sqlite3_prefix "\${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET SQLite::SQLite3)
  add_library(SQLite::SQLite3 STATIC IMPORTED)
  set_target_properties(SQLite::SQLite3 PROPERTIES
    IMPORTED_LOCATION "\${_kelvora_sqlite3_prefix}/lib/libsqlite3.a"
    INTERFACE_INCLUDE_DIRECTORIES "\${_kelvora_sqlite3_prefix}/include")
endif()
set(SQLite3_VERSION $upstream)
set(SQLite3_INCLUDE_DIRS "\${_kelvora_sqlite3_prefix}/include")
set(SQLite3_LIBRARIES SQLite::SQLite3)
unset(_kelvora_sqlite3_prefix)
EOF
}

# Qt's qtbase: a static, release build for mingw-w64 of what the window and its tests use (Core, Gui,
# Widgets, Test; the windows and offscreen platform plugins), with Qt's own copies of zlib, PCRE2,
# libpng, FreeType and HarfBuzz. Modules, widgets and formats the program does not use are left out
# (a first build on a fresh machine is paid by the test command): the SQL, network, XML and print
# modules, JPEG and GIF, graphics view, the undo framework, the date, font and colour widgets, ...
# XPM stays: Qt's drag and drop needs it. A cross build of Qt takes its tools (moc, rcc, uic, ...)
# from the host's Qt of the same version: Debian's qt6-base-dev and qt6-base-dev-tools.
# Debian's dfsg source has no wintab.h (hence no tablet events); without Direct2D, DirectWrite 3
# must be off too (its font database is only built with Direct2D).
qtbase_configure=(
  -xplatform win32-g++ -device-option "CROSS_COMPILE=$host-"
  -static -release
  -nomake examples -nomake tests
  -no-opengl -no-dbus -no-direct2d
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-xml -no-feature-tabletevent -no-feature-directwrite3
  -no-libjpeg -no-gif -no-feature-imageformat_ppm -no-feature-imageformat_xbm
  -no-feature-movie -no-feature-pdf -no-feature-textodfwriter -no-feature-textmarkdownreader
  -no-feature-textmarkdownwriter -no-feature-syntaxhighlighter -no-feature-sessionmanager
  -no-feature-systemtrayicon -no-feature-mimetype -no-feature-sharedmemory -no-feature-systemsemaphore
  -no-feature-process -no-feature-graphicsview -no-feature-calendarwidget -no-feature-datetimeedit
  -no-feature-dial -no-feature-lcdnumber -no-feature-fontcombobox -no-feature-fontdialog
  -no-feature-colordialog -no-feature-wizard -no-feature-undoview -no-feature-undostack
  -no-feature-undocommand -no-feature-undogroup -no-feature-columnview -no-feature-keysequenceedit
  -no-feature-dockwidget -no-feature-tablewidget
  -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz
)
qt_host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake
build_qtbase() {
  local source=$1 prefix=$2 version=$3 folder=$4
  local host_version build=$source/kelvora-build stage=$source/kelvora-stage
  host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
  [ "$host_version" = "$version" ] ||
    die "qtbase: a cross build of Qt needs the host's Qt of the same version: qt6-base-dev is '$host_version', the source $version (run scripts/setup.sh)"
  mkdir -p "$build"
  (
    cd "$build"
    # Configured for the folder it will live in: Qt records its prefix.
    if ! "$source/configure" "${qtbase_configure[@]}" -prefix "$folder" -qt-host-path /usr -- \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR="$qt_host_cmake_dir" \
      >configure.log 2>&1; then
      tail -40 configure.log >&2
      exit 1
    fi
    if ! cmake --build . --parallel "$jobs" >build.log 2>&1; then
      grep -E -A12 '^FAILED:' build.log | head -60 >&2
      tail -20 build.log >&2
      exit 1
    fi
    if ! DESTDIR=$stage cmake --install . >install.log 2>&1; then
      tail -20 install.log >&2
      exit 1
    fi
  ) || die "qtbase: the build failed (the lines above are from its logs)"
  rmdir "$prefix"
  mv -T "$stage$folder" "$prefix"
  cp "$build/config.summary" "$prefix/kelvora-config.summary"
  {
    echo "qtbase for Windows (mingw-w64), static, built by Kelvora's scripts/windows-deps.sh from"
    echo "Debian's source package qt6-base $version with:"
    echo "  configure ${qtbase_configure[*]} -prefix $folder -qt-host-path /usr --"
    echo "    -DCMAKE_TOOLCHAIN_FILE=<Kelvora's cmake/mingw-w64.cmake> -DQT_HOST_PATH_CMAKE_DIR=$qt_host_cmake_dir"
  } >"$prefix/kelvora-build.txt"
}

# What a library's build depends on besides its source package: a build made another way is made
# again (and replaces the old one when it is complete).
recipe_sqlite3() { echo "${sqlite3_cflags[*]}"; }
recipe_qtbase() { echo "${qtbase_configure[*]}"; }

# The recipe a library in the cache was built with. A qtbase built before recipes were recorded
# names its configure line in kelvora-build.txt.
recorded_recipe() {
  local name=$1 folder=$2
  if [ -f "$folder/kelvora-recipe" ]; then
    cat "$folder/kelvora-recipe"
  elif [ "$name" = qtbase ] && [ -f "$folder/kelvora-build.txt" ]; then
    sed -n 's/^  configure \(.*\) -prefix .*/\1/p' "$folder/kelvora-build.txt"
  fi
}

# Builds library $1 from Debian's source package $2 unless the cache holds it for the package's
# current version, made by the current recipe. Each library has a lock of its own: a run that only
# needs a library already built is not held up by another run's long build of a different one, and
# two runs that need the same library take turns (the second finds it built).
dependency() {
  local name=$1 package=$2 version folder started lock recipe
  version=$(source_version "$package")
  folder="$cache/$name-${version//:/_}"
  recipe=$("recipe_$name")
  exec {lock}>"$cache/.lock-$name"
  flock "$lock"
  if [ -d "$folder" ]; then
    if [ "$(recorded_recipe "$name" "$folder")" = "$recipe" ]; then
      log "$name: $folder is already built (Debian $package $version); nothing to do"
      exec {lock}>&-
      return
    fi
    log "$name: $folder was built another way; building it again"
  fi
  # A scratch folder of this library found now is a killed run's.
  rm -rf "$cache/.scratch/$name".*
  log "$name: building from Debian's source package $package $version"
  started=$SECONDS
  mkdir -p "$cache/.scratch"
  scratch=$(mktemp -d "$cache/.scratch/$name.XXXXXX")
  if ! (cd "$scratch" && apt-get source -qq "$package=$version" >source.log 2>&1); then
    cat "$scratch/source.log" >&2
    die "$name: apt-get source $package=$version failed"
  fi
  local source
  source=$(find "$scratch" -mindepth 1 -maxdepth 1 -type d | head -1)
  [ -n "$source" ] || die "$name: apt-get source unpacked nothing"
  mkdir "$scratch/prefix"
  "build_$name" "$source" "$scratch/prefix" "$version" "$folder"
  echo "$recipe" >"$scratch/prefix/kelvora-recipe"
  if [ -d "$folder" ]; then mv -T "$folder" "$scratch/old"; fi
  mv -T "$scratch/prefix" "$folder"
  rm -rf "$scratch"
  scratch=
  exec {lock}>&-
  log "$name: built into $folder in $((SECONDS - started)) s"
}

# ---- Main -----------------------------------------------------------------------------------------

for tool in "$host-gcc-posix" "$host-g++-posix" "$host-ar" dpkg-source tclsh make cmake ninja perl; do
  command -v "$tool" >/dev/null || die "$tool is missing: run scripts/setup.sh first"
done
mkdir -p "$cache"
scratch=
on_exit() {
  local status=$?
  [ -z "$scratch" ] || rm -rf "$scratch"
  [ "$status" -eq 0 ] || echo "windows-deps: failed" >&2
}
trap on_exit EXIT
# apt's sources are checked by one run at a time. Earlier versions of this script built in
# .build-* folders while holding this lock from start to end: one found now is a killed run's.
exec 9>"$cache/.lock"
flock 9
rm -rf "$cache"/.build-*
ensure_deb_src
exec 9>&-

for name in "${libraries[@]}"; do
  dependency "$name" "${source_package[$name]}"
done
