#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION DEB_VERSION APP_ID PRIVATE_LIB_DIR
#
# Makes the .deb and the .tar.gz from the build tree (CPack installs the binaries already built) into
# a temporary folder and checks them:
#   - lintian finds no error in the .deb;
#   - the desktop entry and the AppStream metainfo validate, and name the files the package holds;
#   - the .deb holds exactly the expected files (read with dpkg-deb -x, which shows the package as it
#     is, whatever path-exclude rules the host's dpkg has), the icons have their sizes, the man pages
#     are gzipped, and the binaries start from that tree and load their module;
#   - the .deb installs into a throwaway root (dpkg --root, with a dpkg database of its own) and its
#     removal leaves nothing behind but that database;
#   - the .tar.gz holds the same files.
# Nothing is installed on this system and nothing is fetched.
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
deb_version=$3
app_id=$4
private_lib_dir=$5  # the module's folder below the prefix (lib/kelvora/modules)

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvora-package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
need() {
  command -v "$1" >/dev/null || { echo "FAIL: $1 is missing ($2; scripts/setup.sh installs it)" >&2; exit 1; }
}
need cpack cmake
need lintian lintian
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need dpkg-deb dpkg
export PATH=$PATH:/usr/sbin:/sbin  # dpkg looks for ldconfig and start-stop-daemon there

# The files the package installs, below /usr.
expected=(
  bin/kelvora
  bin/kelvora-cli
  "$private_lib_dir"/libkelvora-services.so
  share/applications/"$app_id".desktop
  share/doc/kelvora/changelog.Debian.gz
  share/doc/kelvora/copyright
  share/icons/hicolor/128x128/apps/"$app_id".png
  share/icons/hicolor/256x256/apps/"$app_id".png
  share/icons/hicolor/48x48/apps/"$app_id".png
  share/icons/hicolor/64x64/apps/"$app_id".png
  share/lintian/overrides/kelvora
  share/man/man1/kelvora-cli.1.gz
  share/man/man1/kelvora.1.gz
  share/metainfo/"$app_id".metainfo.xml
)
expected_list=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)

# PROGRAM finds the module it loads for HTTP: an update check against a port where nothing listens
# (on this computer) fails for want of a server, not of the module.
finds_module() {
  local out
  out=$("$1" check-update --url http://127.0.0.1:9/update.html 2>&1) || true
  [[ $out == *"Cannot download"* && $out != *libkelvora-services* ]] || fail "$1 does not load its module: $out"
}

# Every file (not folder) below DIR, relative to it, sorted.
files_below() { (cd "$1" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort; }

echo "== cpack"
if ! (cd "$build" && cpack -G "DEB;TGZ" -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not make the packages (is the build complete?)" >&2
  exit 1
fi
deb=$(echo "$work"/out/kelvora_"$deb_version"_*.deb)
tgz=$(echo "$work"/out/kelvora-"$version"-Linux-*.tar.gz)
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no kelvora_${deb_version}_*.deb" >&2; exit 1; }
[ -f "$tgz" ] || { ls "$work/out"; echo "FAIL: no kelvora-$version-Linux-*.tar.gz" >&2; exit 1; }

echo "== lintian $(basename "$deb")"
lintian_status=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors (exit status $lintian_status)"

echo "== control fields"
[ "$(dpkg-deb -f "$deb" Package)" = kelvora ] || fail "the package is not called kelvora"
[ "$(dpkg-deb -f "$deb" Version)" = "$deb_version" ] || fail "the package's version is not $deb_version"
# dpkg-shlibdeps found the libraries the binaries link, and those of the module they load
# (libcurl and GIO).
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libsqlite3-0 libcurl4 libglib2.0-0; do
  [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done

echo "== contents"
x=$work/x
dpkg-deb -x "$deb" "$x"
[ "$(files_below "$x/usr")" = "$expected_list" ] ||
  fail "the .deb holds other files than expected:
$(diff <(echo "$expected_list") <(files_below "$x/usr") || true)"
[ -z "$(find "$x" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "the .deb installs outside /usr"
for size in 48 64 128 256; do
  png=$x/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png
  [ -f "$png" ] || continue
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  read -r -a ihdr < <(od -An -tu1 -j16 -N8 "$png")
  width=$(((ihdr[0] << 24) | (ihdr[1] << 16) | (ihdr[2] << 8) | ihdr[3]))
  height=$(((ihdr[4] << 24) | (ihdr[5] << 16) | (ihdr[6] << 8) | ihdr[7]))
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  [ "$width x $height" = "$size x $size" ] || fail "$png is $width x $height, not $size x $size"
done
for page in kelvora kelvora-cli; do
  gz=$x/usr/share/man/man1/$page.1.gz
  [ -f "$gz" ] || continue
  gzip -t "$gz" || fail "$gz is not gzipped"
  title=$(zcat "$gz" | sed -n 's/^\.TH "\{0,1\}\([^ "]*\)"\{0,1\} "\{0,1\}\([0-9]\).*/\1(\2)/p')
  [ "$title" = "${page^^}(1)" ] || fail "$gz is not the man page of $page (its title: '$title')"
done

echo "== desktop entry and metainfo"
desktop=$x/usr/share/applications/$app_id.desktop
metainfo=$x/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app_id.desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $app_id.metainfo.xml"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$x/usr/bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', which the package lacks"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$x/usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "the desktop entry's icon '$icon' is not in the package"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app_id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
for binary in kelvora kelvora-cli; do
  grep -q "<binary>$binary</binary>" "$metainfo" || fail "the metainfo does not provide $binary"
done

echo "== the binaries of the package"
cli_version=$("$x/usr/bin/kelvora-cli" --version) || fail "kelvora-cli --version fails"
[ "$cli_version" = "kelvora-cli $version" ] || fail "kelvora-cli --version says '$cli_version'"
cli_help=$("$x/usr/bin/kelvora-cli" --help) || fail "kelvora-cli --help fails"
[[ $cli_help == *$'\nUsage: kelvora-cli '* ]] || fail "kelvora-cli --help shows no usage"
finds_module "$x/usr/bin/kelvora-cli"
# The window starts, reads its options and stops at the malformed one: its libraries are found.
set +e
gui_error=$(QT_QPA_PLATFORM=offscreen "$x/usr/bin/kelvora" --root 2>&1 >/dev/null)
gui_status=$?
set -e
if [ "$gui_status" -ne 2 ] || [[ $gui_error != *"kelvora: "* ]]; then
  fail "kelvora --root (no folder) ended with $gui_status: $gui_error"
fi

echo "== install and remove in a throwaway root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# The root's database knows no other package, so the dependencies are taken as there; the log is
# the root's own. A user who is not root installs as a pretended root (fakeroot).
as_root=()
[ "$(id -u)" -eq 0 ] || { need fakeroot fakeroot; as_root=(fakeroot); }
dpkg_root=("${as_root[@]}" dpkg --root="$root" --log="$root/dpkg.log" --force-depends)
"${dpkg_root[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i into $root failed"; }
[ "$(dpkg --root="$root" -s kelvora 2>/dev/null | sed -n 's/^Status: //p')" = "install ok installed" ] ||
  fail "dpkg does not see kelvora installed in $root"
while IFS= read -r path; do
  [ -e "$root$path" ] || fail "dpkg lists $path, which is not in $root"
done < <(dpkg --root="$root" -L kelvora)
installed_version=$("$root/usr/bin/kelvora-cli" --version) || true
[ "$installed_version" = "kelvora-cli $version" ] || fail "the installed kelvora-cli --version says '$installed_version'"
finds_module "$root/usr/bin/kelvora-cli"
"${dpkg_root[@]}" -r kelvora >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r failed"; }
left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' \
  ! -path './var/lib/dpkg/*' ! -path ./dpkg.log)
[ -z "$left" ] || fail "the removal left behind:
$left"
[ -z "$(find "$root/var/lib/dpkg/info" -name 'kelvora.*')" ] || fail "dpkg keeps files of kelvora after the removal"

echo "== tar.gz"
t=$work/t
mkdir "$t"
tar -xzf "$tgz" -C "$t"
top=$(basename "$tgz" .tar.gz)
[ "$(ls "$t")" = "$top" ] || fail "the .tar.gz does not hold one folder $top: $(ls "$t")"
[ "$(files_below "$t/$top")" = "$expected_list" ] ||
  fail "the .tar.gz holds other files than the .deb:
$(diff <(echo "$expected_list") <(files_below "$t/$top") || true)"
tgz_version=$("$t/$top/bin/kelvora-cli" --version) || true
[ "$tgz_version" = "kelvora-cli $version" ] || fail "kelvora-cli --version of the .tar.gz says '$tgz_version'"
finds_module "$t/$top/bin/kelvora-cli"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "The packages are sound."
