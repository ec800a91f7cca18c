# Sourced by the scripts: what this machine can run.
#
# Some Linux kernels are built or booted without IA-32 emulation: there no 32-bit program starts, not
# even Wine's 32-bit loader, so the 32-bit Vyr.exe and its 32-bit tests cannot run under Wine at all.
# Such a machine tests the same sources built for x64 (build/release64, build/ubsan64), run by Wine's
# 64-bit loader.

# The release configuration that runs here: the one that ships, or its x64 build.
runnable_release_config() {
  if machine_runs_32bit_code; then echo release; else echo release64; fi
}

# True when the kernel starts 32-bit x86 programs (the i386 dynamic loader comes with wine32:i386).
machine_runs_32bit_code() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Makes `wine` inside this shell Wine's 64-bit loader when no 32-bit program can start here; Debian's
# `wine` would otherwise pick the 32-bit loader and fail.
use_runnable_wine() {
  machine_runs_32bit_code && return 0
  local shim_dir=$1/build/wine-bin name
  # wineboot and the other tools run `wine-stable`.
  for name in wine wine-stable; do
    if [ ! -x "$shim_dir/$name" ]; then
      mkdir -p "$shim_dir"
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim_dir/$name.$$"
      chmod +x "$shim_dir/$name.$$"
      mv -f "$shim_dir/$name.$$" "$shim_dir/$name"
    fi
  done
  export PATH=$shim_dir:$PATH WINELOADER=/usr/lib/wine/wine64
}
