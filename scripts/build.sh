#!/usr/bin/env bash
# Configures and builds Vyr for Windows with mingw-w64.
# usage: scripts/build.sh [release|ubsan|release64|ubsan64]...     (default: release)
#   release:   build/release, optimised for size, the programs that ship (32-bit Vyr.exe and Vyr.dll,
#              the 64-bit VyrHook64.exe and VyrHook64.dll)
#   ubsan:     build/ubsan, the same code and the tests trapping on undefined behaviour
#   release64, ubsan64: the same two, with every program and test built for x64: the test
#              configurations of a machine whose kernel runs no 32-bit code (scripts/test.sh)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -eq 0 ] && set -- release
for config in "$@"; do
  toolchain=$root/cmake/i686-w64-mingw32.cmake
  case $config in
    release)   options=(-DCMAKE_BUILD_TYPE=MinSizeRel -DVYR_UBSAN=OFF) ;;
    ubsan)     options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYR_UBSAN=ON) ;;
    release64) options=(-DCMAKE_BUILD_TYPE=MinSizeRel -DVYR_UBSAN=OFF) ;;
    ubsan64)   options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYR_UBSAN=ON) ;;
    *) echo "usage: $0 [release|ubsan|release64|ubsan64]..." >&2; exit 2 ;;
  esac
  case $config in *64) toolchain=$root/cmake/x86_64-w64-mingw32.cmake ;; esac
  dir=$root/build/$config
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${options[@]}" >/dev/null
  fi
  cmake --build "$dir"
done
