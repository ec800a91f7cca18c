#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test under Wine.
# usage: scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R hook
#   release: the code that ships; ubsan: the same code trapping on undefined behaviour. On a machine
#   that runs no 32-bit code, release64 and ubsan64: the same two built for x64 (scripts/machine.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
configs=(release ubsan)
if ! machine_runs_32bit_code; then
  echo "test.sh: this machine's kernel starts no 32-bit program; testing the same sources built for x64"
  configs=(release64 ubsan64)
fi
"$root/scripts/build.sh" "${configs[@]}"
# A fresh session for each configuration, so neither inherits the other's desktop; within one, the
# tests run one at a time because they share one desktop, its foreground window and its keyboard.
status=0
for config in "${configs[@]}"; do
  echo "== tests: $config"
  # A test that fails is run again, up to three times in all, and fails the run only if it never
  # passes: the end-to-end scenarios race X's keyboard focus and Wine's foreground changes, which a
  # machine busy with other work can slow past their bounds.
  "$root/scripts/wine-session.sh" tests ctest --test-dir "$root/build/$config" --output-on-failure \
    --repeat until-pass:3 "$@" ||
    status=1
done
exit $status
