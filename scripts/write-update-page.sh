#!/usr/bin/env bash
# Writes the update page the program's update check reads ("Check for Updates", kelvora-cli
# check-update) for a Windows setup program:
#
#   scripts/write-update-page.sh [--product NAME] [--run-parameters TEXT] [--notes FILE]
#                                VERSION INSTALLER [PAGE]
#
# PAGE (update.html beside INSTALLER unless given) must lie in the installer's folder: the page names
# the installer by its file name alone, which the update check fetches from beside the page, so the
# folder can be published under any address. The page's tags:
#
#   wuProduct         NAME (Kelvora)
#   wuVersion         VERSION, compared part by part with the running program's
#   wuDownload        the installer's file name, relative to the page
#   wuClientSideName  the same name, under which the download is saved
#   wuRunParameters   TEXT, given to the installer when it is started (none by default: it asks)
#   wuSHA256          the installer's SHA-256; a download that differs is removed, never started
#
# and, for the information window, a heading, the installer's size and digest and the lines of
# FILE (plain text) as the release's notes. The page is written under a temporary name and renamed
# into place: a failed run leaves an earlier page as it was.
set -euo pipefail

usage() {
  echo "usage: $0 [--product NAME] [--run-parameters TEXT] [--notes FILE] VERSION INSTALLER [PAGE]" >&2
  exit 2
}
die() {
  echo "write-update-page: $*" >&2
  exit 1
}

product=Kelvora
run_parameters=
notes=
while (($#)); do
  case $1 in
    --product) (($# >= 2)) || usage; product=$2; shift 2 ;;
    --run-parameters) (($# >= 2)) || usage; run_parameters=$2; shift 2 ;;
    --notes) (($# >= 2)) || usage; notes=$2; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
(($# == 2 || $# == 3)) || usage
version=$1 installer=$2
page=${3:-$(dirname -- "$installer")/update.html}

# A tag's value ends at the next double quote and may be 254 characters long; the update check
# reads a longer one as empty.
tag_value() {
  local what=$1 value=$2
  [[ $value != *[\"\<\>\&]* && $value != *[[:cntrl:]]* ]] ||
    die "$what \"$value\" holds a double quote, <, >, & or a control character"
  ((${#value} <= 254)) || die "$what is longer than 254 characters"
}

[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || die "VERSION \"$version\" is not numbers joined by dots (like 2.1.2)"
[ -n "$product" ] || die "the product name is empty"
tag_value "the product name" "$product"
tag_value "the run parameters" "$run_parameters"
[ -f "$installer" ] || die "$installer is not a file"
[ -s "$installer" ] || die "$installer is empty"
name=$(basename -- "$installer")
# The name goes into an address as it is: nothing in it may need escaping there.
[[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._+-]*$ ]] ||
  die "the installer's name \"$name\" holds characters other than letters, digits, \".\", \"_\", \"+\" and \"-\""
tag_value "the installer's name" "$name"
[ -z "$notes" ] || [ -f "$notes" ] || die "the notes $notes are not a file"
folder=$(cd -- "$(dirname -- "$installer")" && pwd -P)
page_folder=$(cd -- "$(dirname -- "$page")" 2>/dev/null && pwd -P) || die "the page's folder $(dirname -- "$page") does not exist"
[ "$page_folder" = "$folder" ] ||
  die "the page must lie in the installer's folder ($folder): it names the installer relative to itself"
[ "$(basename -- "$page")" != "$name" ] || die "the page can't take the installer's name"
[ ! -d "$page" ] || die "$page is a folder"

digest=$(sha256sum -- "$installer" | cut -d' ' -f1)
size=$(stat -c %s -- "$installer")

# Text for the page's body.
html_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }

tmp=$(mktemp "$page_folder/.update-page.XXXXXX")
trap 'rm -f "$tmp"' EXIT
{
  echo '<!DOCTYPE html>'
  echo '<html lang="en">'
  echo '<head>'
  echo '<meta charset="utf-8">'
  echo "<title>$product $version</title>"
  echo "<META NAME=\"wuProduct\" CONTENT=\"$product\">"
  echo "<META NAME=\"wuVersion\" CONTENT=\"$version\">"
  echo "<META NAME=\"wuDownload\" CONTENT=\"$name\">"
  echo "<META NAME=\"wuClientSideName\" CONTENT=\"$name\">"
  if [ -n "$run_parameters" ]; then
    echo "<META NAME=\"wuRunParameters\" CONTENT=\"$run_parameters\">"
  fi
  echo "<META NAME=\"wuSHA256\" CONTENT=\"$digest\">"
  echo '</head>'
  echo '<body>'
  echo "<h3>$product $version</h3>"
  echo "<p>Setup program: <a href=\"$name\">$name</a>, $size bytes, SHA-256 <code>$digest</code></p>"
  if [ -n "$notes" ]; then
    echo '<pre>'
    html_escape <"$notes"
    echo '</pre>'
  fi
  echo '</body>'
  echo '</html>'
} >"$tmp"
chmod 644 "$tmp"
mv -f -- "$tmp" "$page"
trap - EXIT
echo "$page: $product $version, $name ($size bytes), SHA-256 $digest"
