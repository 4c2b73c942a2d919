#!/usr/bin/env bash
# Runs a Windows test program under wine64 with a prefix of the build's own.
export WINEDEBUG=-all
# Wine names files in the locale's character set; UTF-8 holds every name an archive can carry.
export LC_ALL=C.UTF-8
export WINEPREFIX="${KELVORA_WINEPREFIX:-${TMPDIR:-/tmp}/kelvora-wine}"
# Under `ctest --resource-spec-file wine-prefixes.json` ctest hands each test a prefix of its own
# ("id:2,slots:1"): prefix 1 is the one above, any other sits beside it with the id appended, as does
# its Recycle Bin.
if [[ ${CTEST_RESOURCE_GROUP_0_WINEPREFIX:-} =~ ^id:([0-9]+), ]] && [ "${BASH_REMATCH[1]}" != 1 ]; then
  WINEPREFIX+="-${BASH_REMATCH[1]}"
  [ -z "${XDG_DATA_HOME:-}" ] || export XDG_DATA_HOME+="-${BASH_REMATCH[1]}"
fi
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
