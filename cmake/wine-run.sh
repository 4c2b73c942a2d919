#!/usr/bin/env bash
# Runs a Windows test program under wine64 with a prefix of the build's own.
export WINEDEBUG=-all
# Wine names files in the locale's character set; UTF-8 holds every name an archive can carry.
export LC_ALL=C.UTF-8
export WINEPREFIX="${KELVORA_WINEPREFIX:-${TMPDIR:-/tmp}/kelvora-wine}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
