#!/usr/bin/env bash
# Sets up the machine, builds the release configuration and writes what a Windows user downloads
# to dist/: Vyr-<version>-windows.zip (unpack and run) and Vyr-<version>-setup.exe (the installer).
# usage: scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
# The release build makes both (target vyr_package); it stops with the list of any missing file.
cmake --build "$root/build/release" --target vyr_package
mkdir -p "$root/dist"
for file in "$root"/build/release/dist/Vyr-*-windows.zip "$root"/build/release/dist/Vyr-*-setup.exe; do
  cp "$file" "$root/dist/"
  echo "$(stat -c %s "$file") bytes  dist/$(basename "$file")"
done
