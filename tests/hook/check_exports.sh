#!/usr/bin/env bash
# The names that bind the programs to the hook libraries: Vyr.dll exports exactly _SetHook@8,
# _Unhook@0 and the request hook's two entry points, and Vyr.exe imports them by those names;
# VyrHook64.dll exports the same four (64-bit code has no decorations) to VyrHook64.exe; all of them
# import nothing but system DLLs, and both libraries have a shared data section.
# usage: check_exports.sh <objdump> <Vyr.dll> <Vyr.exe> <VyrHook64.dll> <VyrHook64.exe>
#   The objdump must read 32-bit and 64-bit PE files (the x86_64 one does).
set -euo pipefail
objdump=$1 dll=$2 exe=$3 dll64=$4 exe64=$5
fail() { echo "FAIL: $*" >&2; exit 1; }

exports() {
  "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\] +[^ ]+$' | awk '{print $NF}' | sort | tr '\n' ' '
}
imports() {
  "$objdump" -p "$1" | sed -n "/DLL Name: $2/,/^\$/p" | awk 'NF == 3 && $1 != "DLL" {print $3}' | sort | tr '\n' ' '
}

expected32="_HookRequestThread@4 _SetHook@8 _Unhook@0 _UnhookRequestThread@0 "
expected64="HookRequestThread SetHook Unhook UnhookRequestThread "
# The x64 test build (scripts/machine.sh) makes Vyr.dll and Vyr.exe as 64-bit code too: no decorations.
if "$objdump" -f "$dll" | grep -q 'x86-64'; then
  expected32=$expected64
fi
[ "$(exports "$dll")" = "$expected32" ] || fail "Vyr.dll exports '$(exports "$dll")'"
[ "$(imports "$exe" Vyr.dll)" = "$expected32" ] || fail "Vyr.exe imports '$(imports "$exe" Vyr.dll)' from Vyr.dll"
[ "$(exports "$dll64")" = "$expected64" ] || fail "VyrHook64.dll exports '$(exports "$dll64")'"
[ "$(imports "$exe64" VyrHook64.dll)" = "HookRequestThread UnhookRequestThread " ] ||
  fail "VyrHook64.exe imports '$(imports "$exe64" VyrHook64.dll)' from VyrHook64.dll"

system_dlls='^(KERNEL32|USER32|GDI32|SHELL32|msvcrt|ADVAPI32|COMCTL32|Vyr|VyrHook64)\.dll$'
for module in "$dll" "$exe" "$dll64" "$exe64"; do
  while read -r name; do
    [[ $name =~ $system_dlls ]] || fail "$(basename "$module") imports $name"
  done < <("$objdump" -p "$module" | awk '/DLL Name:/ {print $3}')
done
for library in "$dll" "$dll64"; do
  "$objdump" -h "$library" | grep -A1 ' \.shared ' | grep -q SHARED ||
    fail "$(basename "$library") has no shared data section"
done
echo "exports, imports and shared sections as expected"
