#!/usr/bin/env bash
# Runs a Windows program under Wine, in a Wine prefix that belongs to the
# build tree the program lies in, inside a virtual X server when there is no
# display. Used as the cross-compiling emulator, so ctest runs the Windows
# tests through it.
set -euo pipefail

program=$1
shift

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$program" "$@"
fi

# The build tree is the nearest folder above the program that holds
# CMakeCache.txt.
dir=$(cd "$(dirname "$program")" && pwd)
while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do dir=$(dirname "$dir"); done
if [[ "$dir" == / ]]; then dir=$(pwd); fi

export WINEPREFIX=${SKYVANE_WINEPREFIX:-$dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64

# Create the prefix once; concurrent first runs wait for each other.
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

wine=wine
exec "$wine" "$program" "$@"
