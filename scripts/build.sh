#!/usr/bin/env bash
# Configures and builds Vyr for 32-bit Windows with mingw-w64.
# usage: scripts/build.sh [release|ubsan]...     (default: release)
#   release: build/release, optimised for size, the programs that ship
#   ubsan:   build/ubsan, the same code and the tests trapping on undefined behaviour
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -eq 0 ] && set -- release
for config in "$@"; do
  case $config in
    release) options=(-DCMAKE_BUILD_TYPE=MinSizeRel -DVYR_UBSAN=OFF) ;;
    ubsan)   options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYR_UBSAN=ON) ;;
    *) echo "usage: $0 [release|ubsan]..." >&2; exit 2 ;;
  esac
  dir=$root/build/$config
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" "${options[@]}" >/dev/null
  fi
  cmake --build "$dir"
done
