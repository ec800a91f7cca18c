#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test under Wine.
# usage: scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R hook
#   release: the code that ships; ubsan: the same code trapping on undefined behaviour.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release ubsan
# A fresh session for each configuration, so neither inherits the other's desktop; within one, the
# tests run one at a time because they share one desktop, its foreground window and its keyboard.
status=0
for config in release ubsan; do
  echo "== tests: $config"
  "$root/scripts/wine-session.sh" tests ctest --test-dir "$root/build/$config" --output-on-failure "$@" ||
    status=1
done
exit $status
