#!/usr/bin/env bash
# windows_test.sh BUILD_DIR VERSION OBJDUMP WINDRES
#
# Makes the Windows installer and the portable .zip from the Windows build tree (CPack installs the
# binaries already built) into a temporary folder and checks them under wine64, in a Wine prefix of
# the test's own:
#   - the installer is a 64-bit program that asks for no administrator rights and carries the
#     program's icon; the binaries it installs are stripped;
#   - "/S" installs for the user: the files land in %LOCALAPPDATA%\Programs\Kelvora, the Start-menu
#     entries in the user's Start menu (none for all users), the uninstaller is registered under
#     HKEY_CURRENT_USER (none under HKEY_LOCAL_MACHINE), and the installed kelvora-cli.exe runs;
#   - the uninstaller run with "/S" removes the folder, the Start-menu entries and the registration;
#   - "/S /D=<folder>" installs into a folder that already holds a file of the user's: the
#     uninstaller takes the program and the window's settings away and leaves that file;
#   - the .zip holds one folder with the programs and the texts, and its kelvora-cli.exe runs.
# Nothing is fetched; the prefix's wineserver is ended and the folder removed whatever happens.
set -uo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 BUILD_DIR VERSION OBJDUMP WINDRES" >&2
  exit 2
fi
build=$(cd "$1" && pwd) version=$2 objdump=$3 windres=$4
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvora-windows-package-test.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# No Mono or Gecko prompts, and no host menu entries made from the Start-menu shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_DATA_HOME=$work/xdg
cleanup() {
  [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
stop() {
  echo "FAIL: $*" >&2
  exit 1
}
need() { command -v "$1" >/dev/null || stop "$1 is missing ($2; scripts/setup.sh installs it)"; }
need cpack cmake
need makensis nsis
[ -x "$wine" ] || stop "$wine is missing (wine64; scripts/setup.sh installs it)"

# Runs a Windows program; its output without carriage returns.
win() { "$wine" "$@" </dev/null 2>&1 | tr -d '\r'; }
# The Unix path of a Windows one.
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# Every file (not folder) below DIR, relative to it, sorted.
files_below() { (cd "$1" && find . -type f) | sed 's|^\./||' | LC_ALL=C sort; }
# Waits until every program of the prefix has ended (an NSIS uninstaller copies itself to the temp
# folder, starts the copy and returns at once) and the wineserver is gone, at most SECONDS.
wait_for_prefix() { timeout "$1" "$wineserver" -w; }
# The value NAME of the registry key KEY, as `reg query` prints it.
reg_value() {
  win reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# Whether a Windows shortcut (.lnk) names the path PART (its strings read with the NUL bytes dropped).
lnk_names() { tr -d '\0' <"$1" | grep -aqiF "$2"; }
# The lines of standard input that are not files of the user's (keep[]).
without_kept() {
  if ((${#keep[@]})); then grep -vxF -f <(printf '%s\n' "${keep[@]}") || true; else cat; fi
}

# The files of the program, below its folder.
expected=(LICENSE.txt README.txt bin/kelvora-cli.exe bin/kelvora.exe)
expected_list=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
installed_list=$(printf '%s\n' "${expected[@]}" Uninstall.exe | LC_ALL=C sort)
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvora'

echo "== cpack"
if ! (cd "$build" && nice -n 19 cpack -G "NSIS;ZIP" -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  stop "cpack could not make the packages (is the build complete?)"
fi
setup=$work/out/Kelvora-$version-win64-setup.exe
zip=$work/out/Kelvora-$version-win64.zip
[ -f "$setup" ] || { ls "$work/out"; stop "no Kelvora-$version-win64-setup.exe"; }
[ -f "$zip" ] || { ls "$work/out"; stop "no Kelvora-$version-win64.zip"; }

echo "== the installer"
"$objdump" -f "$setup" | grep -q 'file format pei-x86-64' || fail "the installer is not a 64-bit Windows program"
grep -aq 'requestedExecutionLevel level="asInvoker"' "$setup" ||
  fail "the installer's manifest does not run it as the user who starts it"
rc=$("$windres" -i "$setup" -O rc 2>/dev/null) || fail "windres cannot read the installer's resources"
icons=$(grep -c 'RT_ICON \*/' <<<"$rc")
[ "$icons" = 7 ] || fail "the installer's icon has $icons images, not the program icon's 7"

echo "== Wine prefix"
win wineboot --init >"$work/wineboot.log" || stop "wineboot failed: $(cat "$work/wineboot.log")"
wait_for_prefix 120 || stop "the new prefix's programs did not end within 120 s"
local_app_data=$(win cmd /c echo %LOCALAPPDATA%)
app_data=$(win cmd /c echo %APPDATA%)
program_data=$(win cmd /c echo %ProgramData%)
[[ $local_app_data == C:\\* && $app_data == C:\\* ]] ||
  stop "no user folders in the prefix: LOCALAPPDATA '$local_app_data', APPDATA '$app_data'"
menu=$(unix_path "$app_data\\Microsoft\\Windows\\Start Menu\\Programs")/Kelvora
common_menu=$(unix_path "$program_data\\Microsoft\\Windows\\Start Menu\\Programs")/Kelvora

# install_and_check WINDOWS_FOLDER COMMAND...: installs silently with COMMAND (a Windows program and
# its arguments) and checks what the installer left in WINDOWS_FOLDER, the uninstall registration,
# the Start-menu entries, and that the installed programs run.
install_and_check() {
  local folder_win=$1 folder
  shift
  echo "== install $*"
  local out status
  out=$(win "$@")
  status=$?
  wait_for_prefix 120 || fail "the installer's programs did not end within 120 s"
  [ "$status" -eq 0 ] || fail "the installer ended with status $status: $out"
  folder=$(unix_path "$folder_win")
  [ -d "$folder" ] || { fail "nothing installed in $folder_win"; return 1; }
  local files
  files=$(files_below "$folder" | without_kept)
  [ "$files" = "$installed_list" ] || fail "$folder_win holds other files than expected:
$(diff <(echo "$installed_list") <(echo "$files") || true)"
  for exe in kelvora.exe kelvora-cli.exe; do
    if "$objdump" -h "$folder/bin/$exe" | grep -q '\.debug_'; then fail "the installed $exe is not stripped"; fi
  done

  echo "-- registration"
  local value want
  for entry in "DisplayName=Kelvora" "DisplayVersion=$version" "Publisher=Tolvane" \
    "DisplayIcon=$folder_win\\bin\\kelvora.exe,0" "InstallLocation=$folder_win" \
    "UninstallString=\"$folder_win\\Uninstall.exe\"" "QuietUninstallString=\"$folder_win\\Uninstall.exe\" /S"; do
    want=${entry#*=}
    value=$(reg_value "$uninstall_key" "${entry%%=*}")
    [ "$value" = "$want" ] || fail "${entry%%=*} is '$value', not '$want'"
  done
  if win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvora' >/dev/null; then
    fail "the installer registered Kelvora for all users (HKEY_LOCAL_MACHINE)"
  fi

  echo "-- Start menu"
  [ ! -e "$common_menu" ] || fail "the installer made Start-menu entries for all users: $common_menu"
  for entry in "Kelvora.lnk=bin\\kelvora.exe" "Kelvora command line.lnk=cmd.exe" \
    "Uninstall Kelvora.lnk=Uninstall.exe"; do
    local lnk=$menu/${entry%%=*}
    [ -f "$lnk" ] || { fail "no Start-menu entry ${entry%%=*} in $menu"; continue; }
    lnk_names "$lnk" "${entry#*=}" || fail "the Start-menu entry ${entry%%=*} does not start ${entry#*=}"
  done

  echo "-- the installed programs"
  local cli_version facts
  cli_version=$(win "$folder/bin/kelvora-cli.exe" --version)
  [ "$cli_version" = "kelvora-cli $version" ] || fail "the installed kelvora-cli.exe --version says '$cli_version'"
  facts=$(win "$folder/bin/kelvora-cli.exe" facts) || fail "the installed kelvora-cli.exe facts fails: $facts"
  grep -q '^Login name: .' <<<"$facts" || fail "kelvora-cli.exe facts names no login name: $facts"
}

# uninstall_and_check WINDOWS_FOLDER: runs the registered quiet uninstaller and checks that the
# program, its Start-menu entries and its registration are gone, and the files in keep[] remain.
uninstall_and_check() {
  local folder_win=$1 folder
  folder=$(unix_path "$folder_win")
  echo "== uninstall from $folder_win"
  [ -f "$folder/Uninstall.exe" ] || { fail "no Uninstall.exe in $folder_win"; return 1; }
  win "$folder/Uninstall.exe" /S >/dev/null || fail "Uninstall.exe /S failed"
  wait_for_prefix 120 || fail "the uninstaller did not end within 120 s"
  if ((${#keep[@]})); then
    local left
    left=$(files_below "$folder")
    [ "$left" = "$(printf '%s\n' "${keep[@]}" | LC_ALL=C sort)" ] ||
      fail "after the uninstall $folder_win holds '$left', not just the user's files '${keep[*]}'"
  else
    [ ! -e "$folder" ] || fail "the uninstaller left $folder_win: $(files_below "$folder" | tr '\n' ' ')"
  fi
  [ ! -e "$menu" ] || fail "the uninstaller left the Start-menu folder: $(ls "$menu" | tr '\n' ' ')"
  if win reg query "$uninstall_key" >/dev/null; then fail "the uninstaller left $uninstall_key"; fi
}

# For the user: the default folder, and nothing there but the program.
keep=()
default_win="$local_app_data\\Programs\\Kelvora"
if install_and_check "$default_win" "$setup" /S; then
  uninstall_and_check "$default_win"
fi

# A folder of the user's choice, with a space in its name, that already holds the user's backup;
# the window's settings file appears beside it as when the window has been used.
chosen_win='C:\Backup tools\Kelvora'
chosen=$(unix_path "$chosen_win")
mkdir -p "$chosen"
echo "a backup" >"$chosen/firefox_backup.dat"
keep=(firefox_backup.dat)
# NSIS takes /D= unquoted, spaces and all, as the last argument: typed into cmd as a user would (wine
# would quote it, given as an argument of its own).
setup_win=$("$wine" winepath -w "$setup" 2>/dev/null | tr -d '\r')
if install_and_check "$chosen_win" cmd /c "$setup_win /S /D=$chosen_win"; then
  printf '[Preferences]\nLayout=ribbon\n' >"$chosen/bin/kelvora.ini"
  uninstall_and_check "$chosen_win"
  [ "$(cat "$chosen/firefox_backup.dat" 2>/dev/null)" = "a backup" ] || fail "the user's backup file changed"
fi

echo "== the portable .zip"
z=$work/zip
mkdir "$z"
(cd "$z" && cmake -E tar xf "$zip") || fail "cannot unpack $(basename "$zip")"
top=Kelvora-$version-win64
[ "$(ls "$z")" = "$top" ] || fail "the .zip does not hold one folder $top: $(ls "$z" | tr '\n' ' ')"
[ "$(files_below "$z/$top")" = "$expected_list" ] || fail "the .zip holds other files than expected:
$(diff <(echo "$expected_list") <(files_below "$z/$top") || true)"
zip_version=$(win "$z/$top/bin/kelvora-cli.exe" --version)
[ "$zip_version" = "kelvora-cli $version" ] || fail "kelvora-cli.exe --version of the .zip says '$zip_version'"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "The Windows packages are sound."
