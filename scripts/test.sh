#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test under Wine, each test once.
# usage: scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R hook
#   release: the code that ships; ubsan: the same code trapping on undefined behaviour. On a machine
#   that runs no 32-bit code, release64 and ubsan64: the same two built for x64 (scripts/machine.sh).
#   Where 32-bit code runs, release64 is built as well (not run), so that the x64 build keeps
#   compiling for the machines that need it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
if machine_runs_32bit_code; then
  configs=(release ubsan)
  built_only=(release64)
else
  echo "test.sh: this machine's kernel starts no 32-bit program; testing the same sources built for x64"
  configs=(release64 ubsan64)
  built_only=(release)
fi
"$root/scripts/build.sh" "${configs[@]}" "${built_only[@]}"
# A fresh session for each configuration, so neither inherits the other's desktop; within one, the
# tests run one at a time because they share one desktop, its foreground window and its keyboard.
status=0
for config in "${configs[@]}"; do
  echo "== tests: $config"
  "$root/scripts/wine-session.sh" tests ctest --test-dir "$root/build/$config" --output-on-failure "$@" ||
    status=1
done
echo "== tested: ${configs[*]}; built, not run: ${built_only[*]}"
if ! machine_runs_32bit_code; then
  echo "test.sh: the shipped 32-bit build (build/release) was built but NOT run: this machine starts no 32-bit program"
fi
exit $status
