#!/usr/bin/env bash
# Runs a Windows test program under wine64 with a prefix of the build's own.
export WINEDEBUG=-all
export WINEPREFIX="${KELVORA_WINEPREFIX:-${TMPDIR:-/tmp}/kelvora-wine}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
