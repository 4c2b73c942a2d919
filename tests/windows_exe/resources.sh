#!/usr/bin/env bash
# resources.sh OBJDUMP WINDRES VERSION EXE:SUBSYSTEM...: checks what the Windows executables carry:
# the subsystem (gui or console), one application manifest (RT_MANIFEST 1, none added by the
# toolchain) that names Windows 10 as supported, the seven icon sizes, and version information of
# the project's version.
set -uo pipefail
objdump=$1 windres=$2 version=$3
shift 3
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for item in "$@"; do
  exe=${item%:*} want=${item##*:}
  name=$(basename "$exe")
  [ -f "$exe" ] || { fail "$name: not built ($exe)"; continue; }
  case $want in
    gui) subsystem="(Windows GUI)" ;;
    console) subsystem="(Windows CUI)" ;;
  esac
  "$objdump" -p "$exe" | grep -E '^Subsystem' | grep -qF "$subsystem" ||
    fail "$name: subsystem is not $subsystem: $("$objdump" -p "$exe" | grep -E '^Subsystem')"
  rc=$("$windres" -i "$exe" -O rc 2>&1) || { fail "$name: windres cannot read its resources"; continue; }
  manifests=$(grep -c 'RT_MANIFEST' <<<"$rc")
  [ "$manifests" = 1 ] || fail "$name: $manifests RT_MANIFEST resources, not 1"
  grep -qE '^1 24 /\* RT_MANIFEST \*/' <<<"$rc" || fail "$name: no RT_MANIFEST with id 1"
  grep -aqF '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' "$exe" || fail "$name: its manifest does not name Windows 10"
  grep -aqF 'PerMonitorV2' "$exe" || fail "$name: its manifest is not per-monitor DPI aware"
  icons=$(grep -c 'RT_ICON \*/' <<<"$rc")
  [ "$icons" = 7 ] || fail "$name: $icons icon images, not 7"
  grep -q 'RT_GROUP_ICON' <<<"$rc" || fail "$name: no icon group"
  IFS=. read -r major minor patch <<<"$version"
  grep -qE "^ *FILEVERSION $major, *$minor, *$patch, *0" <<<"$rc" || fail "$name: FILEVERSION is not $version"
  grep -qE "^ *PRODUCTVERSION $major, *$minor, *$patch, *0" <<<"$rc" || fail "$name: PRODUCTVERSION is not $version"
  for value in "\"ProductName\", \"Kelvora\"" "\"ProductVersion\", \"$version\"" \
    "\"FileVersion\", \"$version.0\"" "\"OriginalFilename\", \"$name\""; do
    grep -qF "VALUE $value" <<<"$rc" || fail "$name: no VALUE $value"
  done
  for key in FileDescription CompanyName LegalCopyright; do
    grep -qE "VALUE \"$key\", \"[^\"]+\"" <<<"$rc" || fail "$name: no $key"
  done
done
[ "$failed" = 0 ] && echo "resources of $# executables as expected"
exit $failed
