#!/usr/bin/env bash
# The names that bind Vyr.exe to Vyr.dll: the library exports exactly _SetHook@8 and _Unhook@0, the
# program imports them by those names, and both import nothing but system DLLs.
# usage: check_exports.sh <objdump> <Vyr.dll> <Vyr.exe>
set -euo pipefail
objdump=$1 dll=$2 exe=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\] +[^ ]+$' | awk '{print $NF}' | sort | tr '\n' ' ')
[ "$exports" = "_SetHook@8 _Unhook@0 " ] || fail "Vyr.dll exports '$exports'"

imports=$("$objdump" -p "$exe" | sed -n '/DLL Name: Vyr.dll/,/^$/p' | awk 'NF == 3 && $1 != "DLL" {print $3}' | sort | tr '\n' ' ')
[ "$imports" = "_SetHook@8 _Unhook@0 " ] || fail "Vyr.exe imports '$imports' from Vyr.dll"

system_dlls='^(KERNEL32|USER32|GDI32|SHELL32|msvcrt|ADVAPI32|COMCTL32|Vyr)\.dll$'
for module in "$dll" "$exe"; do
  while read -r name; do
    [[ $name =~ $system_dlls ]] || fail "$(basename "$module") imports $name"
  done < <("$objdump" -p "$module" | awk '/DLL Name:/ {print $3}')
done
"$objdump" -h "$dll" | grep -A1 ' \.shared ' | grep -q SHARED || fail "Vyr.dll has no shared data section"
echo "exports, imports and shared section as expected"
