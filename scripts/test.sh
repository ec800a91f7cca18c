#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test under Wine.
# usage: scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R hook
#   release: the code that ships; ubsan: the same code trapping on undefined behaviour.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release ubsan
# One session for both runs; the tests run one at a time because they share one desktop, its
# foreground window and its keyboard.
"$root/scripts/wine-session.sh" tests bash -c '
  status=0
  for config in release ubsan; do
    echo "== tests: $config"
    ctest --test-dir "$0/build/$config" --output-on-failure "${@}" || status=1
  done
  exit $status' "$root" "$@"
