#!/usr/bin/env bash
# Sets up the machine, builds Vyr and runs it under Wine, on a 1024x768 Wine desktop.
# usage: scripts/run.sh
#   With a usable DISPLAY the desktop opens there as a window, and Vyr runs until it is ended from
#   its tray menu (or Ctrl+C here). Without one, Vyr runs on a private Xvfb display for a moment and
#   a screenshot of that desktop is saved under build/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
exe=$root/build/release/bin/Vyr.exe

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  echo "Vyr runs on $DISPLAY in the window 'shell - Wine desktop'; press Alt+Tab there."
  # The settings file lives in the current directory: keep the demo's beside the build.
  mkdir -p "$root/build/run" && cd "$root/build/run"
  exec "$root/scripts/wine-session.sh" --own-display run wine "$exe"
fi

shots=$root/build/screenshots
mkdir -p "$shots" "$root/build/run"
cd "$root/build/run"
"$root/scripts/wine-session.sh" run bash -c '
  wine "$1" &
  vyr=$!
  sleep 3
  import -window root "$2"
  kill "$vyr" 2>/dev/null || true' _ "$exe" "$shots/run.png"
echo "No display here: Vyr ran on a private Xvfb display; its desktop is in $shots/run.png"
