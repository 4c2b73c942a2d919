#!/usr/bin/env bash
# Installs every Debian package Kelvora needs to build, test and run. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev libdeflate-dev libisal-dev
  libgtest-dev libgmock-dev googletest
  libcli11-dev
  libglib2.0-dev
  libhivex-dev libhivex-bin libwin-hivex-perl chntpw
  libcurl4-openssl-dev python3
  libsqlite3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core fonts-liberation xvfb xauth
  xdotool x11-utils x11-apps imagemagick
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64
  dpkg-dev tcl
  clang-14 libclang-rt-14-dev
  pigz ccache
  lintian help2man appstream desktop-file-utils fakeroot
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
