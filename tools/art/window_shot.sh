#!/usr/bin/env bash
# Renders the main window with the default skin (72 and 68 in Fahrenheit,
# partly cloudy by day)
# through the program's own paint under Wine, and writes docs/window.png.
#   bash tools/art/window_shot.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/window-shot
mkdir -p "$work"

x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
  -I "$root/src" -o "$work/window_shot.exe" \
  "$root/tools/art/window_shot.cpp" "$root/src/skin/skin_win.cpp" "$root/src/common/program_win.cpp" \
  "$root/src/common/executable_path_win.cpp" \
  "$root/src/skin/display.cpp" "$root/src/skin/display_win.cpp" "$root/src/common/temperature.cpp" \
  "$root/src/weather/conditions_text.cpp" "$root/src/common/weather_code.cpp" -luser32 -lgdi32

# The skin is read relative to the current directory, as the program reads it.
cd "$root"
WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" \
  xvfb-run -a -s "-screen 0 1280x1024x24" wine "$work/window_shot.exe" 'build\window-shot\window.bmp'

mkdir -p "$root/docs"
/usr/bin/python3 -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2], optimize=True)' \
  "$work/window.bmp" "$root/docs/window.png"
echo "wrote $root/docs/window.png"
