#!/usr/bin/env bash
# Sets up the machine, builds Vyr and runs it under Wine on a 1024x768 Wine desktop, with a few
# sample windows (an editor, a terminal, a browser) to switch among.
# usage: scripts/run.sh
#   With a usable DISPLAY the Wine desktop opens there as a window; press Alt+Tab in it. Vyr runs
#   until it is ended from its tray menu (right click on its icon at the taskbar's right end,
#   Close), or until Ctrl+C here. Without a display, the first end-to-end scenario (Alt+Tab with
#   real keys on a private Xvfb display) runs instead and saves its screenshots.
#
# Under Wine, Vyr lists windows of other processes but cannot draw their icons (Wine keeps icons per
# process), so the sample windows are put into the running Vyr.exe by a test-only library; on
# Windows it lists and draws every application.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
config=$(runnable_release_config)
"$root/scripts/build.sh" "$config"
bin=$root/build/$config/bin

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  echo "Vyr runs on $DISPLAY in the window 'shell - Wine desktop': press Alt+Tab there."
  echo "End it from its tray menu (right click on the icon at the taskbar's right end, Close) or with Ctrl+C."
  # The settings file lives in the current directory: keep the demo's beside the build.
  mkdir -p "$root/build/run" && cd "$root/build/run"
  exec "$root/scripts/wine-session.sh" --own-display run bash -c '
    wine "$1/Vyr.exe" &
    vyr=$!
    wine "$1/vyr_fixture_demo.exe"
    wait "$vyr"' _ "$bin"
fi

echo "No display here: running the first end-to-end scenario on a private Xvfb display."
"$root/scripts/wine-session.sh" run wine "$bin/e2e_switch_test.exe" \
  --gtest_filter=Switching.AltTabBringsTheWindowBehindTheForegroundOneToTheFront
shots=$root/build/$config/screenshots
echo "Screenshots of that desktop with Vyr's list open: $shots/desktop.png (all of it)"
echo "and $shots/switcher-large.png (the list)."
