#!/usr/bin/env bash
# The zip holds exactly what a user needs to run Vyr, at its top level: the programs, the 64-bit
# companion and its library, and the three texts (with Windows line ends).
# usage: check_zip.sh <Vyr-<version>-windows.zip>
set -euo pipefail
zip=$1
expected=$(printf '%s\n' CHANGES.txt LICENSE.txt README.txt Vyr.dll Vyr.exe VyrHook64.dll VyrHook64.exe)
actual=$(unzip -Z1 "$zip" | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  echo "the zip holds:"; echo "$actual"; echo "expected:"; echo "$expected"
  exit 1
fi
for text in README.txt LICENSE.txt CHANGES.txt; do
  if unzip -p "$zip" "$text" | grep -q $'[^\r]$'; then
    echo "$text has a line without CR LF"
    exit 1
  fi
done
echo "the zip holds exactly the $(echo "$expected" | wc -l) shipped files"
