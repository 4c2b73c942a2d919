#!/usr/bin/env bash
# run.sh KELVORA_EXE KELVORA_CLI_EXE WORK_DIR SCREENSHOT_DIR CAPTION
#
# Starts the real kelvora.exe under wine64 on a private Xvfb screen, with a Firefox profile in the
# Wine user's roaming folder, and makes a Firefox backup the way a person would: Alt, the Backup
# tab's key tip, Firefox's key tip, the backup location typed into the wizard, "Next >". Checks the
# archive with kelvora-cli.exe and saves screenshots of the main window and of the finished wizard
# into SCREENSHOT_DIR. Xvfb, kelvora.exe and the prefix's wineserver are ended whatever happens.
# The Wine prefix is WORK_DIR/wineprefix, the test's own (made on the first run).
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 KELVORA_EXE KELVORA_CLI_EXE WORK_DIR SCREENSHOT_DIR CAPTION" >&2
  exit 2
fi
exe=$(realpath "$1") cli=$(realpath "$2") work=$3 shots=$4 caption=$5
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

export WINEDEBUG=-all
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$work" "$shots" || exit 1
rm -f "$shots/windows_exe_failure.png"
work=$(realpath "$work")
export WINEPREFIX=$work/wineprefix

step="start"
xvfb_pid=
app_pid=

fail() {
  echo "windows_exe: FAILED at step '$step': $*" >&2
  if [ -n "${DISPLAY:-}" ] && [ -n "$xvfb_pid" ]; then
    import -display "$DISPLAY" -window root "$shots/windows_exe_failure.png" 2>/dev/null &&
      echo "windows_exe: the screen at that moment: $shots/windows_exe_failure.png" >&2
  fi
  exit 1
}

cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null; fi
  "$wineserver" -k 2>/dev/null
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  return 0
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Polls a command every 0.2 s until it succeeds or `seconds` pass.
wait_for() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS >= end)) && return 1
    sleep 0.2
  done
}

for tool in Xvfb xdotool import xwd md5sum python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

step="Xvfb"
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 20 test -s "$work/display" || fail "Xvfb did not start (see $work/xvfb.log)"
DISPLAY=":$(head -1 "$work/display")"
export DISPLAY
wait_for 20 xdpyinfo >/dev/null 2>&1 || fail "Xvfb's display $DISPLAY does not answer"

step="Wine prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init </dev/null >"$work/wineboot.log" 2>&1 || fail "wineboot failed (see $work/wineboot.log)"
fi
"$wineserver" -p 2>/dev/null
# A new prefix of Debian's Wine 8 plays Windows 7 (6.1 to every program). As Windows 10 it reports
# 6.2 to programs whose manifest does not name Windows 10, and 10.0 to those whose manifest does.
"$wine" winecfg -v win10 </dev/null >/dev/null 2>&1 || fail "winecfg cannot make the prefix Windows 10"

step="environment facts"
facts=$("$wine" "$cli" facts </dev/null 2>&1 | tr -d '\r') || fail "kelvora-cli.exe facts failed: $facts"
echo "$facts"
fact() { sed -n "s/^$1: //p" <<<"$facts"; }
user=$(fact "Login name")
roaming=$(fact "Roaming application data")
if [ -z "$user" ] || [ -z "$roaming" ]; then fail "no login name or roaming folder in: $facts"; fi
# kelvora-cli.exe's manifest names Windows 10, so it is told 10; its folders are the Users ones.
[ "$(fact "Windows major version")" = 10 ] ||
  fail "Windows major version is '$(fact "Windows major version")', not 10: the manifest is not in effect"
[[ $roaming == *"\\Users\\$user\\AppData\\Roaming" || $roaming == *"\\users\\$user\\AppData\\Roaming" ]] ||
  fail "the roaming folder '$roaming' is not the Users layout"

step="Firefox profile"
roaming_unix=$("$wine" winepath -u "$roaming" 2>/dev/null | tr -d '\r')
[ -d "$roaming_unix" ] || fail "the roaming folder '$roaming' is not at '$roaming_unix'"
firefox="$roaming_unix/Mozilla/Firefox"
rm -rf "$firefox"
profile="$firefox/Profiles/k3lv0ra1.default"
mkdir -p "$profile" || fail "cannot make $profile"
cat >"$firefox/profiles.ini" <<'EOF'
[General]
StartWithLastProfile=1

[Profile0]
Name=default
IsRelative=1
Path=Profiles/k3lv0ra1.default
Default=1
EOF
printf 'user_pref("browser.startup.homepage", "https://example.org/");\n' >"$profile/prefs.js"
printf '<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p><DT><A HREF="https://example.org/">Example</A></DL>\n' \
  >"$profile/bookmarks.html"
python3 - "$profile/places.sqlite" <<'EOF' || fail "cannot write places.sqlite"
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT)")
db.execute("INSERT INTO moz_places (url, title) VALUES ('https://example.org/', 'Example')")
db.commit()
db.close()
EOF
profiles=$("$wine" "$cli" profiles firefox </dev/null 2>&1 | tr -d '\r')
grep -q "k3lv0ra1.default" <<<"$profiles" || fail "kelvora-cli.exe profiles firefox does not list the profile: $profiles"

backup="$work/backup"
rm -rf "$backup"
mkdir -p "$backup"
backup_win=$("$wine" winepath -w "$backup" 2>/dev/null | tr -d '\r')
[ -n "$backup_win" ] || fail "winepath cannot name $backup"

step="main window"
"$wine" "$exe" </dev/null >"$work/kelvora.log" 2>&1 &
app_pid=$!
main_window() { xdotool search --onlyvisible --name "^${caption//./\\.}\$" 2>/dev/null | head -1; }
has_main_window() { [ -n "$(main_window)" ]; }
wait_for 90 has_main_window ||
  fail "no visible window titled '$caption' appeared (kelvora.exe log: $work/kelvora.log)"
wid=$(main_window)

# The screen is painted when two pictures a moment apart are the same.
screen_sum() { xwd -root -silent 2>/dev/null | md5sum | cut -d' ' -f1; }
settled() {
  local a b
  a=$(screen_sum)
  sleep 0.3
  b=$(screen_sum)
  [ "$a" = "$b" ]
}
wait_for 30 settled || fail "the screen keeps changing"
import -window root "$shots/windows_exe_main.png" || fail "cannot save $shots/windows_exe_main.png"
echo "windows_exe: main window '$caption' (X window $wid), screenshot $shots/windows_exe_main.png"

step="Firefox backup wizard by key tips"
# No window manager: give the window the keyboard focus and the pointer ourselves.
timeout 10 xdotool mousemove --window "$wid" 300 300 windowfocus "$wid" 2>/dev/null ||
  fail "cannot give the window the keyboard focus"
xdotool key --delay 150 alt b f
wait_for 20 settled || fail "the screen keeps changing after Alt, B, F"
import -window root "$work/wizard_open.png"

step="backup location"
# "Next >" has the focus; Cancel, "Select All" and "Deselect" follow it, then the location field.
xdotool key --delay 80 Tab Tab Tab Tab ctrl+a
xdotool type --delay 20 "$backup_win"
wait_for 10 settled
import -window root "$work/wizard_location.png"

step="Next >"
xdotool key --delay 80 shift+Tab shift+Tab shift+Tab shift+Tab space

step="archive"
archive_ready() {
  local found
  found=$(find "$backup" -maxdepth 1 -iname '*.dat' ! -name '~*' | head -1)
  [ -n "$found" ] || return 1
  # Written under a temporary name and renamed when complete: nothing temporary may remain.
  [ -z "$(find "$backup" -maxdepth 1 -name '~*' | head -1)" ] || return 1
  archive=$found
}
wait_for 120 archive_ready ||
  fail "no complete .dat archive appeared in $backup (it holds: $(find "$backup" -mindepth 1 -printf '%f ' | head -c 400))"
echo "windows_exe: archive $archive"
archive_win=$("$wine" winepath -w "$archive" 2>/dev/null | tr -d '\r')
verify=$("$wine" "$cli" verify "$archive_win" </dev/null 2>&1 | tr -d '\r') ||
  fail "kelvora-cli.exe verify rejects the archive: $verify"
listing=$("$wine" "$cli" list "$archive_win" </dev/null 2>&1 | tr -d '\r') ||
  fail "kelvora-cli.exe list fails: $listing"
echo "$listing"
for name in prefs.js places.sqlite; do
  grep -qi "$name" <<<"$listing" || fail "the archive does not hold $name"
done

step="finished wizard"
wait_for 30 settled || fail "the screen keeps changing after the backup"
import -window root "$shots/windows_exe_backup.png" || fail "cannot save $shots/windows_exe_backup.png"
echo "windows_exe: finished wizard, screenshot $shots/windows_exe_backup.png"
kill -0 "$app_pid" 2>/dev/null || fail "kelvora.exe has exited"
echo "windows_exe: passed"
