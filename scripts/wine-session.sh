#!/usr/bin/env bash
# Runs one command inside a private Wine session and tears the session down afterwards, whatever the
# command's outcome: a prefix of its own under build/wine/<name> (created once, under a lock), an Xvfb
# display on a free number (or the caller's DISPLAY with --own-display), a warm wineserver and the
# 1024x768 virtual desktop "shell" with its taskbar. Everything runs in a private PID namespace when
# the machine allows one, so that not even a crashed test can leave a process behind.
#
# usage: scripts/wine-session.sh [--own-display] [--fresh] <prefix-name> <command> [args...]
#   --fresh makes the prefix anew, as a machine that has never run Vyr (the installer's tests).
#   The command sees DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, VYR_WINE_SESSION=1 and
#   VYR_SESSION_LOG_PIXELS (the session's DPI). Exit status: the command's.
#   VYR_LOG_PIXELS=<dpi> (e.g. 144) gives the session a screen of that DPI, in a prefix of its own
#   (build/wine/<prefix-name>-<dpi>dpi).
#   VYR_SESSION_MONITORS=2 makes a desktop of two monitors instead of the virtual desktop: 1024x768
#   at 0,0 (primary) and 800x600 at 1024,0, with no taskbar. Give it a prefix of its own: the
#   prefix remembers which kind of desktop it was made for.
set -euo pipefail

own_display=0
fresh=0
while :; do
  case "${1:-}" in
    --own-display) own_display=1; shift ;;
    --fresh) fresh=1; shift ;;
    *) break ;;
  esac
done
if [ $# -lt 2 ]; then
  echo "usage: $0 [--own-display] [--fresh] <prefix-name> <command> [args...]" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
name=$1; shift
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
use_runnable_wine "$root"
monitors=${VYR_SESSION_MONITORS:-1}
case $monitors in
  1 | 2) ;;
  *) echo "wine-session: VYR_SESSION_MONITORS is 1 or 2, not $monitors" >&2; exit 2 ;;
esac

# Re-enter in a PID namespace of our own: when its first process ends, the kernel ends every other.
if [ -z "${VYR_SESSION_NAMESPACE:-}" ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
   unshare --fork --pid --mount-proc --kill-child true 2>/dev/null; then
  args=("$name" "$@")
  [ $own_display -eq 1 ] && args=(--own-display "${args[@]}")
  [ $fresh -eq 1 ] && args=(--fresh "${args[@]}")
  VYR_SESSION_NAMESPACE=1 exec unshare --fork --pid --mount-proc --kill-child \
    bash "${BASH_SOURCE[0]}" "${args[@]}"
fi

wine_dir=${VYR_WINE_DIR:-$root/build/wine}
log_pixels=${VYR_LOG_PIXELS:-96}
[ "$log_pixels" != 96 ] && name=$name-${log_pixels}dpi
prefix=$wine_dir/$name
mkdir -p "$wine_dir"

# 64-bit, as the systems of Vyr's users: the 32-bit Vyr.exe runs there beside 64-bit applications.
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono/Gecko prompts, no menu entries written to the host, and no debugger: a crash or an
# undefined-behaviour trap ends the process at once with a failing exit code, instead of leaving
# winedbg waiting for somebody.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# One session per prefix at a time. Children must not inherit the lock's descriptor (8>&-), or a
# daemon that outlived us would hold it.
exec 8>"$prefix.lock"
if ! flock -w 900 8; then
  echo "wine-session: $prefix is in use by another session" >&2
  exit 1
fi

# The X servers started here, innermost last, and the files they reported their displays in.
x_pids=()
display_files=()
cleanup() {
  trap - ERR
  set +e
  wineserver -k >/dev/null 2>&1
  local i
  for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
    kill "${x_pids[i]}" 2>/dev/null
    wait "${x_pids[i]}" 2>/dev/null
  done
  [ ${#display_files[@]} -gt 0 ] && rm -f "${display_files[@]}"
}
trap cleanup EXIT
# A step of the set-up that fails ends the session; it says which, or the test that never ran would
# show nothing but the teardown's messages.
# (-E: within the functions too.)
set -E
trap 'echo "wine-session: line $LINENO: \"$BASH_COMMAND\" failed with status $?" >&2' ERR
trap 'exit 130' INT TERM

# Starts an X server that writes its display number to descriptor 7 (-displayfd 7), waits for it and
# makes it the DISPLAY. usage: start_x_server <name> <command> [args...]
start_x_server() {
  local server=$1 display_file
  shift
  display_file=$(mktemp)
  display_files+=("$display_file")
  "$@" 7>"$display_file" 8>&- 2>/dev/null &
  x_pids+=($!)
  for _ in $(seq 1 200); do
    grep -q '^[0-9][0-9]*$' "$display_file" 2>/dev/null && break
    kill -0 "${x_pids[-1]}" 2>/dev/null || break
    sleep 0.05
  done
  if ! grep -q '^[0-9][0-9]*$' "$display_file"; then
    echo "wine-session: $server did not start" >&2
    exit 1
  fi
  export DISPLAY=":$(cat "$display_file")"
}

if [ $own_display -eq 0 ] || [ -z "${DISPLAY:-}" ]; then
  start_x_server Xvfb Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp -noreset
fi
if [ "$monitors" = 2 ]; then
  # Wine sees monitors through Xinerama, so the two heads are an Xephyr inside that display: Xvfb's
  # own Xinerama puts every head at 0,0, RandR would show the heads as one monitor, and a Wine
  # virtual desktop would hide them. Wine's 32-bit X11 driver needs the 32-bit libXinerama for it.
  start_x_server Xephyr Xephyr -displayfd 7 +xinerama -extension RANDR -screen 1024x768 \
    -screen 800x600 -nolisten tcp -noreset
fi

# A prefix as `wineboot -i` leaves it, copied from one made once for all sessions of this folder:
# a copy takes a few seconds where wineboot takes 20 to 30, and the suite makes five prefixes (three
# DPIs, two monitors, the installer's fresh one on every run). usage: make_pristine_prefix <prefix>
make_pristine_prefix() {
  local pristine=$wine_dir/pristine-$WINEARCH stamp
  stamp="$(wine --version 2>/dev/null) $WINEARCH"
  (
    exec 9>"$pristine.lock"
    flock -w 900 9
    if [ "$(cat "$pristine/.vyr-pristine" 2>/dev/null)" != "$stamp" ]; then
      rm -rf "$pristine"
      WINEPREFIX=$pristine wineboot -i >/dev/null 2>&1 8>&- 9>&-
      WINEPREFIX=$pristine wineserver -w 8>&- 9>&-
      echo "$stamp" >"$pristine/.vyr-pristine"
    fi
    cp -a "$pristine" "$1"
  )
  rm -f "$1/.vyr-pristine"
}

# The prefix's set-up, numbered and with its architecture: a prefix made by an older set-up or for
# another architecture is made anew.
setup_version=3
[ "$monitors" = 2 ] && setup_version="$setup_version two-monitors"
if [ $fresh -eq 1 ] || [ "$(cat "$prefix/.vyr-ready" 2>/dev/null)" != "$setup_version $WINEARCH" ]; then
  rm -rf "$prefix"
  make_pristine_prefix "$prefix"
  fonts=$prefix/drive_c/windows/Fonts
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
  for f in /usr/share/fonts/opentype/ipafont-gothic/ipag*.ttf; do
    [ -f "$f" ] && cp "$f" "$fonts/"
  done
  # Japanese dialogs name the faces of Windows; without these Wine falls back to a fixed-pitch font
  # whose wider text is clipped by controls sized for the proportional one. (Not "MS UI Gothic":
  # replaced too, it turns the backslashes of English window titles into yen signs.)
  # The names are not ANSI, so the file is UTF-16. All keys go in with one import: when a second
  # import ran after the first had set the desktop key, it lost its wineserver twice in 10 fresh
  # sessions late in a suite; the one import has not.
  # Managed=N: without a window manager every window close would otherwise wait about 2 s.
  # The virtual desktop gives every test the same 1024x768 screen, taskbar and notification area.
  desktop_keys=('[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="shell"' ''
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"shell"="1024x768"' '')
  [ "$monitors" = 2 ] && desktop_keys=()
  reg_file=$prefix/drive_c/vyr-session.reg
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    "${desktop_keys[@]}" \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$(printf '%08x' "$log_pixels")" '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' \
    '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' '' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg_file"
  wine regedit /S 'C:\vyr-session.reg' 8>&-
  wineserver -w
  echo "$setup_version $WINEARCH" >"$prefix/.vyr-ready"
fi

# A warm wineserver before the command: on a cold start Wine's services would inherit the command's
# pipes (CTest waits on them).
wineserver -p 8>&-
wine cmd.exe /c exit 8>&- >/dev/null 2>&1 </dev/null
if [ "$monitors" = 1 ]; then
  wine explorer.exe /desktop=shell,1024x768 8>&- >/dev/null 2>&1 </dev/null &
  for _ in $(seq 1 200); do
    xdotool search --name '^shell - Wine desktop$' >/dev/null 2>&1 && break
    sleep 0.05
  done
fi

export VYR_WINE_SESSION=1 VYR_SESSION_LOG_PIXELS=$log_pixels
trap - ERR
set +e
"$@" 8>&-
status=$?
set -e
exit $status
