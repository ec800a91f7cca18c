#!/usr/bin/env bash
# Runs a Windows program under Wine: CTest's emulator for every test executable.
# Inside a session (scripts/wine-session.sh) it uses that session; on its own, or when the program
# asks for another DPI than the session's (VYR_LOG_PIXELS), it makes a one-off session, so that no
# test ever runs in ~/.wine or on somebody's display.
# usage: scripts/wine-exec.sh <program.exe> [args...]
set -euo pipefail
if [ -n "${VYR_WINE_SESSION:-}" ] &&
   [ "${VYR_LOG_PIXELS:-96}" = "${VYR_SESSION_LOG_PIXELS:-96}" ]; then
  exec wine "$@"
fi
exec "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh" tests wine "$@"
