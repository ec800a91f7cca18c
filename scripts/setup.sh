#!/usr/bin/env bash
# Installs, from Debian's packages, everything Vyr's build and tests need on a Debian 12 machine.
# Idempotent: when all is present it checks and returns in a second or two.
# usage: scripts/setup.sh            (as root, or with sudo available)
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  googletest
  wine wine64 wine32:i386 fonts-wine fonts-ipafont-gothic
  xvfb xserver-xephyr libxinerama1 libxinerama1:i386 xdotool x11-utils imagemagick
  nsis zip unzip
  procps util-linux e2fsprogs
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# A mirror part-way through a sync fails one index or another (seen: the security archive's i386
# list, for days); the packages come from the lists that did update, and the install says plainly if
# one is missing.
if ! as_root apt-get update -qq; then
  echo "setup: some package lists did not update; installing from the ones that did"
fi
install_missing() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}"
}
# Without one architecture's security list, its libraries lag behind the other's, and the 32-bit Wine
# cannot have the same versions as the 64-bit one; the release's own archive has both alike.
if ! install_missing; then
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "setup: installing again, preferring the packages of $release itself"
  install_missing -t "$release"
fi
