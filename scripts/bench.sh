#!/usr/bin/env bash
# Sets up the machine, builds the release configuration (the code that ships, and the bench) and
# runs Vyr's benchmarks under Wine, in a Wine session of their own. Prints a table of the figures,
# each with its ratio to its floor and its target; then the switcher's openings once more on a screen of
# 144 DPI, beside those at 96.
# usage: scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
config=$(runnable_release_config)
"$root/scripts/build.sh" "$config"
cd "$root/build/$config/bin"
"$root/scripts/wine-session.sh" bench wine ./vyr_bench.exe
VYR_LOG_PIXELS=144 exec "$root/scripts/wine-session.sh" bench wine ./vyr_bench.exe --openings
