#!/usr/bin/env bash
# Makes tests/fixtures/real-profiles/ from profiles that Debian's own firefox-esr
# and chromium write, then scrubs them down to a small, machine-neutral subset.
#
# Run it by hand on a developer machine when the fixture should follow a newer
# browser; the tests only read the committed result and need neither browser.
# Needs: firefox-esr, chromium, python3, sqlite3, and root for unshare(1): each
# browser runs in a private mount and network namespace where HOME=/home/user is
# a fresh temporary folder, the real /home and /tmp are hidden and the only
# network is the loopback. Nothing outside the temporary folder and the fixture
# folder is written.
#
#   tools/make_real_profiles.sh            # rebuilds the fixture
#   KEEP_WORK=1 tools/make_real_profiles.sh  # also keeps the raw profiles
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
out=$repo/tests/fixtures/real-profiles
drive=$repo/tools/real_profiles_drive.py

for tool in firefox-esr chromium python3 sqlite3 unshare ip; do
    command -v "$tool" > /dev/null || { echo "make_real_profiles: $tool is missing" >&2; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
    echo "make_real_profiles: run as root (the browsers run in a private namespace)" >&2
    exit 1
fi

work=$(mktemp -d /tmp/kelvora-real-profiles.XXXXXX)
if [ -z "${KEEP_WORK:-}" ]; then
    trap 'rm -rf "$work"' EXIT
else
    echo "raw profiles kept in $work/home"
fi
mkdir -m 700 "$work/home"

# Runs a command as if on a fresh account: HOME=/home/user (the temporary
# folder), an empty /tmp, no network but 127.0.0.1 and a minimal environment.
in_private_home() {
    unshare --mount --net --propagation private -- /bin/sh -ec '
        home=$1; shift
        ip link set lo up
        mount -t tmpfs -o mode=755 none /home
        mkdir /home/user
        mount --bind "$home" /home/user
        mount -t tmpfs -o mode=1777 none /tmp
        cd /home/user
        exec env -i HOME=/home/user USER=user LOGNAME=user LANG=C.UTF-8 TZ=UTC \
            PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"' sh "$work/home" "$@"
}

# --- Firefox -------------------------------------------------------------------
# A first start creates the profiles; the second, driven over Marionette, visits
# a local page, adds a history entry, a bookmark, a form-history entry, a saved
# login and a site permission, then quits the browser normally.
echo "== firefox-esr: $(firefox-esr --version 2> /dev/null)"
in_private_home timeout 120 firefox-esr --headless --screenshot /tmp/first-run.png about:blank \
    > "$work/firefox-first.out" 2>&1
in_private_home timeout 300 python3 "$drive" firefox -- firefox-esr --headless about:blank \
    > "$work/firefox-drive.out" 2>&1 || { cat "$work/firefox-drive.out" >&2; exit 1; }

# Newer Firefox keeps its data under the XDG folder; older ones under ~/.mozilla.
firefox_src=$work/home/.config/mozilla/firefox
[ -f "$firefox_src/profiles.ini" ] || firefox_src=$work/home/.mozilla/firefox
[ -f "$firefox_src/profiles.ini" ] || { echo "make_real_profiles: Firefox wrote no profiles.ini" >&2; exit 1; }

# --- Chromium ------------------------------------------------------------------
# Two profiles, each started once and closed over the DevTools pipe. The first
# loads a tiny unpacked extension that adds a bookmark and uses chrome.storage,
# so Bookmarks and Local Extension Settings exist. Each profile is renamed the
# way the profile settings page does it, so Local State holds chosen names.
mkdir "$work/home/fixture-extension"
cat > "$work/home/fixture-extension/manifest.json" << 'EOF'
{
  "manifest_version": 3,
  "name": "Kelvora fixture helper",
  "version": "1.0",
  "permissions": ["bookmarks", "storage"],
  "background": { "service_worker": "worker.js" }
}
EOF
cat > "$work/home/fixture-extension/worker.js" << 'EOF'
chrome.runtime.onInstalled.addListener(async () => {
  const [root] = await chrome.bookmarks.getTree();
  await chrome.bookmarks.create({
    parentId: root.children[0].id,
    title: "Example welcome page",
    url: "https://www.example.org/welcome",
  });
  await chrome.storage.local.set({ fixture: "1" });
});
EOF

echo "== chromium: $(chromium --version 2> /dev/null)"
chromium_args=(--headless=new --no-sandbox --password-store=basic
    --user-data-dir=/home/user/.config/chromium)
in_private_home timeout 300 python3 "$drive" chromium \
    --extension /home/user/fixture-extension --profile-name "Person 1" -- \
    chromium "${chromium_args[@]}" --profile-directory=Default \
    > "$work/chromium-default.out" 2>&1 || { cat "$work/chromium-default.out" >&2; exit 1; }
in_private_home timeout 300 python3 "$drive" chromium --profile-name "Work" -- \
    chromium "${chromium_args[@]}" "--profile-directory=Profile 1" \
    > "$work/chromium-profile1.out" 2>&1 || { cat "$work/chromium-profile1.out" >&2; exit 1; }
chromium_src=$work/home/.config/chromium

# --- Copy and scrub -------------------------------------------------------------
rm -rf "$out/firefox" "$out/chromium"
mkdir -p "$out/chromium"
cp -a "$firefox_src" "$out/firefox"
cp -a "$chromium_src" "$out/chromium/User Data"

scrub() {
    local root=$1
    # Links (Chromium's Singleton*, any other) never go into the fixture.
    find "$root" -type l -print -delete | sed 's/^/dropped link: /'
    # Caches, crash and telemetry data, and data the browser downloads again.
    find "$root" -depth -type d \( -name Cache -o -name 'Code Cache' -o -name GPUCache \
        -o -name ShaderCache -o -name GrShaderCache -o -name GraphiteDawnCache \
        -o -name DawnGraphiteCache -o -name DawnWebGPUCache -o -name GPUPersistentCache \
        -o -name startupCache -o -name cache2 -o -name component_crx_cache \
        -o -name extensions_crx_cache -o -name 'Safe Browsing' -o -name 'optimization_guide*' \
        -o -name 'Crash Reports' -o -name Crashpad -o -name 'Pending Pings' \
        -o -name datareporting -o -name saved-telemetry-pings -o -name crashes \
        -o -name minidumps -o -name security_state -o -name cache \) \
        -exec rm -rf {} +
    # Debug logs and locks. LevelDB's numbered NNNNNN.log files are its data
    # (the write-ahead log of the store), not a debug log, so they stay.
    find "$root" -type f \( -name LOG -o -name LOG.old -o -name '*.log' -o -name LOCK \
        -o -name lock -o -name '*.lock' -o -name parent.lock -o -name .parentlock \
        -o -name 'Singleton*' -o -name '*.dmp' -o -name '*.extra' -o -name '*-shm' \
        -o -name MarionetteActivePort \) \
        ! -regex '.*/[0-9][0-9][0-9][0-9][0-9][0-9]\.log' -delete
    # Firefox's copy of its remote-settings server data (IndexedDB named
    # "remote-settings" backwards), several MB that the browser fetches again.
    find "$root" -type f -name '*rsegmnoittet-es.sqlite*' -delete
    find "$root" -depth -type d -empty -delete
}
scrub "$out/firefox"
scrub "$out/chromium/User Data"

# SQLite files are opened as immutable so that checking them leaves no -shm behind.
is_sqlite() { cmp -s -n 16 "$1" <(printf 'SQLite format 3\0'); }

# Firefox grows places.sqlite and favicons.sqlite in 5 MB steps; the bytes past
# the database's own size are unused. Cut a file back to page_size * page_count
# when nothing is pending in a write-ahead log, which leaves its content as is.
while IFS= read -r -d '' db; do
    is_sqlite "$db" || continue
    if [ -s "$db-wal" ]; then
        echo "make_real_profiles: $db has a non-empty -wal; the browser did not close it" >&2
        exit 1
    fi
    size=$(sqlite3 "file:$db?immutable=1" 'select page_size * page_count from pragma_page_size, pragma_page_count;')
    if [ "$(stat -c %s "$db")" -gt "$size" ]; then
        truncate -s "$size" "$db"
    fi
done < <(find "$out" -type f -size +0 ! -name '*-wal' ! -name '*-journal' -print0)

# --- Checks ----------------------------------------------------------------------
fail=0
# No trace of the generating machine: the temporary folder, the real home or the host name.
needles=("$work" "/tmp/kelvora-real-profiles")
[ -n "${HOME:-}" ] && [ "$HOME" != / ] && needles+=("$HOME/")
host=$(hostname 2> /dev/null || true)
[ "${#host}" -ge 4 ] && [ "$host" != localhost ] && needles+=("$host")
mozlz4_text() {
    python3 - "$1" << 'EOF'
import sys
data = open(sys.argv[1], "rb").read()
if data[:8] != b"mozLz40\0":
    sys.exit(0)
src, out, i = data[12:], bytearray(), 0
while i < len(src):
    token = src[i]; i += 1
    n = token >> 4
    if n == 15:
        while True:
            b = src[i]; i += 1; n += b
            if b != 255: break
    out += src[i:i + n]; i += n
    if i >= len(src): break
    offset = src[i] | src[i + 1] << 8; i += 2
    n = token & 15
    if n == 15:
        while True:
            b = src[i]; i += 1; n += b
            if b != 255: break
    for _ in range(n + 4): out.append(out[-offset])
sys.stdout.buffer.write(out)
EOF
}
while IFS= read -r -d '' f; do
    for needle in "${needles[@]}"; do
        if grep -qaF -- "$needle" "$f" || { [[ $f == *lz4 ]] && mozlz4_text "$f" | grep -qaF -- "$needle"; }; then
            echo "make_real_profiles: $f contains '$needle'" >&2
            fail=1
        fi
    done
    if is_sqlite "$f"; then
        check=$(sqlite3 "file:$f?immutable=1" 'pragma quick_check;' 2>&1 || true)
        [ "$check" = ok ] || { echo "make_real_profiles: $f: $check" >&2; fail=1; }
    fi
done < <(find "$out" -type f -print0)
if [ -n "$(find "$out" -type l)" ]; then
    echo "make_real_profiles: links left in the fixture" >&2
    fail=1
fi
if [ -n "$(find "$out" \( -name '*-shm' -o \( -name '*-wal' -size +0 \) \) -print)" ]; then
    echo "make_real_profiles: a database is not checkpointed (-shm or non-empty -wal)" >&2
    fail=1
fi
while IFS= read -r -d '' f; do
    python3 -c 'import json, sys; json.load(open(sys.argv[1], encoding="utf-8"))' "$f" 2> /dev/null ||
        { echo "make_real_profiles: $f is not JSON" >&2; fail=1; }
done < <(find "$out" -type f \( -name '*.json' -o -name Preferences -o -name 'Secure Preferences' \
    -o -name 'Local State' -o -name Bookmarks \) -print0)
[ "$fail" -eq 0 ] || exit 1

echo "== fixture"
(cd "$out" && find firefox chromium -type f -printf '%s\t%p\n' | sort -k2)
echo "total: $(du -sb "$out" | cut -f1) bytes"
