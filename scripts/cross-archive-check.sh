#!/usr/bin/env bash
# An archive packed by the Linux build extracts on the Windows build (under wine64) to the same
# files, and one packed on Windows extracts on Linux.
#   scripts/cross-archive-check.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail

linux_cli="$1/src/cli/kelvora-cli"
windows_cli="$2/src/cli/kelvora-cli.exe"
sample="$1/tools/kelvora-sample-machine"
wine="$(cd "$(dirname "$0")/.." && pwd)/cmake/wine-run.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

"$sample" "$work/machine" --version 6 --user ann >/dev/null
tree="$work/machine/Users/ann/AppData"
printf 'Latin-1 name\n' >"$tree/Local/"$'caf\xc3\xa9 r\xc3\xa9sum\xc3\xa9.txt'
# Empty files have no record, so they take no part in the comparison.
find "$tree" -type f -empty -delete

"$linux_cli" pack "$tree" "$work/linux.dat" >/dev/null
"$wine" "$windows_cli" verify "$(winpath "$work/linux.dat")" >/dev/null
"$wine" "$windows_cli" unpack "$(winpath "$work/linux.dat")" "$(winpath "$work/on-windows")" >/dev/null
diff -r "$tree" "$work/on-windows"

"$wine" "$windows_cli" pack "$(winpath "$tree")" "$(winpath "$work/windows.dat")" >/dev/null
"$linux_cli" verify "$work/windows.dat" >/dev/null
"$linux_cli" unpack "$work/windows.dat" "$work/on-linux" >/dev/null
diff -r "$tree" "$work/on-linux"
cmp "$work/linux.dat" "$work/windows.dat" || echo "(the two archives differ in bytes; both extract to the same files)"
echo "Archives cross between the Linux and the Windows build: ok"
