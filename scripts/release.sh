#!/usr/bin/env bash
# Makes a release of Kelvora: the Linux packages, the Windows installer and portable .zip, and the
# update page the program's update check reads, all in one folder.
#
#   scripts/release.sh [--update-url URL] [--notes FILE] VERSION
#
# VERSION must be the program's version, project(VERSION) in CMakeLists.txt. The script installs
# what is needed (scripts/setup.sh, scripts/windows-deps.sh), builds Linux and Windows (Release) in
# build/release-linux and build/release-windows, and writes into build/release/VERSION:
#
#   kelvora_VERSION-1_amd64.deb            the Debian package (checked with lintian)
#   kelvora-VERSION-Linux-x86_64.tar.gz    the same files to unpack anywhere
#   Kelvora-VERSION-win64-setup.exe        the Windows installer
#   Kelvora-VERSION-win64.zip              the portable Windows folder
#   update.html                            the update page, naming the installer beside it
#   SHA256SUMS                             the SHA-256 of each of these
#
# --update-url names the update page the release's programs check (where update.html and the
# installer will be published, side by side); without it they have none, and "Check for Updates"
# says so. --notes FILE puts a plain-text file of changes on the update page.
#
# Everything is made in a temporary folder beside the release's and renamed into place at the end:
# a failed or killed run leaves no half release (an earlier release of the version stays whole), and
# the step that failed is named with its log (build/release/logs/VERSION/). The build folders are
# reused by the next run. SOURCE_DATE_EPOCH is the time of the checked-out commit, so equal sources
# give packages with equal dates.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${KELVORA_JOBS:-2}

usage() {
  echo "usage: $0 [--update-url URL] [--notes FILE] VERSION" >&2
  exit 2
}
die() {
  echo "release: $*" >&2
  exit 1
}

update_url=
notes=
while (($#)); do
  case $1 in
    --update-url) (($# >= 2)) || usage; update_url=$2; shift 2 ;;
    --notes) (($# >= 2)) || usage; notes=$(realpath -e -- "$2") || die "the notes $2 are not a file"; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
(($# == 1)) || usage
version=$1

# ---- The version -------------------------------------------------------------------------------

project_version=$(sed -nE 's/^[[:space:]]*project\([[:alnum:]_]+[[:space:]]+VERSION[[:space:]]+([0-9][0-9.]*).*/\1/p' \
  CMakeLists.txt | head -1)
[ -n "$project_version" ] || die "CMakeLists.txt names no project(VERSION)"
[ "$version" = "$project_version" ] ||
  die "the version asked for, $version, is not the program's version $project_version (project(VERSION) in CMakeLists.txt); change one of them"
if [ -n "$update_url" ] && [[ ! $update_url =~ ^[Hh][Tt][Tt][Pp][Ss]?://[^[:space:]\"\\\;]+$ ]]; then
  die "--update-url \"$update_url\" is not an http:// or https:// address"
fi

# ---- Folders, lock, steps ----------------------------------------------------------------------

releases=$top/build/release
final=$releases/$version
logs=$releases/logs/$version
linux_build=$top/build/release-linux
windows_build=$top/build/release-windows
mkdir -p "$releases"
exec 9>"$releases/.lock"
flock -n 9 || die "another release is being made (build/release/.lock is held)"
# Temporary folders found now are those of killed runs.
rm -rf "$releases"/.making-*
tmp=$(mktemp -d "$releases/.making-$version.XXXXXX")
out=$tmp/out
mkdir -p "$out"
rm -rf "$logs"
mkdir -p "$logs"

current_step=
on_exit() {
  local status=$?
  rm -rf "$tmp"
  if [ "$status" -ne 0 ] && [ -n "$current_step" ]; then
    echo "release: stopped in the step \"$current_step\"; nothing was written to $final" >&2
  fi
}
trap on_exit EXIT
trap 'exit 130' INT TERM

step_number=0
# step NAME COMMAND...: runs COMMAND with its output in the step's log; a failure shows the log's
# end and names the step.
step() {
  current_step=$1
  shift
  step_number=$((step_number + 1))
  local log name=${current_step//[^[:alnum:]]/-}
  while [[ $name == *--* ]]; do name=${name//--/-}; done
  log=$logs/$(printf '%02d' "$step_number")-${name%-}.log
  echo "== $current_step [$((SECONDS / 60)) min $((SECONDS % 60)) s]"
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    die "the step \"$current_step\" failed; its whole log: $log"
  fi
  current_step=
}

# The one file in FOLDER that matches PATTERN.
only_file() {
  local folder=$1 pattern=$2 found=()
  shopt -s nullglob
  # shellcheck disable=SC2206 # the pattern is a glob on purpose
  found=("$folder"/$pattern)
  shopt -u nullglob
  if ((${#found[@]} != 1)); then
    echo "release: expected one $pattern in $folder, found ${#found[@]}" >&2
    return 1
  fi
  echo "${found[0]}"
}
# Moves the one file in FOLDER that matches each PATTERN into the release.
take() {
  local folder=$1 pattern file
  shift
  for pattern in "$@"; do
    file=$(only_file "$folder" "$pattern") || return 1
    mv -- "$file" "$out/" || return 1
  done
}

# ---- The sources ----------------------------------------------------------------------------

if git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
  commit=$(git rev-parse --short HEAD)
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release: warning: the working tree has changes not committed to $commit; the release holds them"
  fi
  echo "Kelvora $version from commit $commit"
else
  echo "Kelvora $version (not a git checkout: the packages are dated today)"
fi

# Options both builds are configured with, whatever an earlier configuration cached.
release_options=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release
  -DKELVORA_GUI=ON -DKELVORA_TESTS=OFF -DKELVORA_BENCH=OFF -DKELVORA_FUZZ=OFF -DKELVORA_SANITIZE=
  "-DKELVORA_UPDATE_URL=$update_url"
)

# ---- Steps ----------------------------------------------------------------------------------

step "install the build's packages" bash scripts/setup.sh
step "build the Windows libraries" bash scripts/windows-deps.sh

step "configure Linux" cmake -S . -B "$linux_build" "${release_options[@]}"
step "build Linux" cmake --build "$linux_build" -j"$jobs"
package_linux() {
  (cd "$linux_build" && cpack -G "DEB;TGZ" -B "$tmp/cpack-linux") &&
    take "$tmp/cpack-linux" "kelvora_$version-*_*.deb" "kelvora-$version-Linux-*.tar.gz"
}
step "package Linux (.deb, .tar.gz)" package_linux
deb=$(only_file "$out" "*.deb") || die "no .deb was made"
step "lintian" lintian --fail-on error --tag-display-limit 0 "$deb"

step "configure Windows" cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  "${release_options[@]}"
step "build Windows" cmake --build "$windows_build" -j"$jobs"
package_windows() {
  (cd "$windows_build" && cpack -G "NSIS;ZIP" -B "$tmp/cpack-windows") &&
    take "$tmp/cpack-windows" "Kelvora-$version-win64-setup.exe" "Kelvora-$version-win64.zip"
}
step "package Windows (installer, .zip)" package_windows
installer=$out/Kelvora-$version-win64-setup.exe

page_options=()
[ -z "$notes" ] || page_options+=(--notes "$notes")
step "write the update page" bash scripts/write-update-page.sh "${page_options[@]}" "$version" "$installer" "$out/update.html"
checksums() { (cd "$out" && sha256sum -- *.deb *.tar.gz *.exe *.zip update.html >SHA256SUMS); }
step "checksums" checksums

# ---- Into place ---------------------------------------------------------------------------------

current_step="put the release in place"
if [ -e "$final" ]; then
  mv -T -- "$final" "$tmp/previous"
  echo "release: replacing the earlier $final"
fi
mv -T -- "$out" "$final"
current_step=

echo
echo "Kelvora $version is in $final ($((SECONDS / 60)) min $((SECONDS % 60)) s):"
(cd "$final" && for f in *; do printf '  %-40s %12s bytes\n' "$f" "$(stat -c %s -- "$f")"; done)
echo "SHA-256 of each: $final/SHA256SUMS; logs: $logs"
if [ -n "$update_url" ]; then
  echo "The programs check $update_url for updates: publish update.html there, with"
  echo "Kelvora-$version-win64-setup.exe in the same folder."
else
  echo "The programs have no update page (--update-url URL names one): \"Check for Updates\" says so."
fi
