#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, starts the
# weather service with the world's towns and runs Skyvane under Wine from a folder laid out as
# installed (build/run).
#
# With a display ($DISPLAY set) Skyvane stays up for the user until it exits.
# Without one it runs in a virtual X server, goes through the first run as a
# user would (the welcome balloon, a search, OK) and writes screenshots to
# build/screenshots.
#
# The weather is the service's offline sample by default (invented numbers for
# the real towns, so the demo needs no network); with --live the
# service asks a forecast server for real current conditions (network needed;
# SKYVANE_OPEN_METEO_URL and SKYVANE_OPEN_METEO_KEY choose another server).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

folder=$root/build/run
shots=$root/build/screenshots
driver=$root/build/windows/tools/driver/skyvane-driver.exe
wine_run=$root/cmake/wine-run.sh

# --- The first run in a virtual X server, called back inside xvfb-run. ---
if [[ "${1:-}" == "--first-run" ]]; then
  # A virtual desktop with a taskbar, so that the tray icon and its balloon
  # show as on Windows. Its own prefix keeps the tests' prefix as it is.
  export SKYVANE_WINEPREFIX=$root/build/wineprefix-run
  export WINEPREFIX=$SKYVANE_WINEPREFIX
  # The first Wine call starts the desktop, which lives on: its output goes
  # nowhere, or it would hold this script's output open.
  "$wine_run" "$driver" wait-exit >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1280x1024 /f >/dev/null 2>&1
  wineserver -k || true
  wineserver -w
  # One Wine server for all the calls below; the desktop restarts with it.
  wineserver -p >/dev/null 2>&1 || true
  "$wine_run" "$driver" wait-exit >/dev/null 2>&1 || true

  drive() { "$wine_run" "$driver" "$@"; }
  shot() {
    sleep 0.5 # let the last paint reach the screen
    /usr/bin/import -display "$DISPLAY" -window root "$shots/$1.png"
    echo "  $shots/$1.png"
  }
  (cd "$folder" && exec "$wine_run" "$folder/Skyvane.exe") >"$root/build/run.log" 2>&1 &
  program=$!
  trap 'kill $program 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT

  drive wait-window
  echo "The welcome balloon: $(drive balloon | tr -d '\r')"
  shot 1-welcome-balloon
  drive tray balloon
  echo "Search for 'San Diego':"
  drive search "San Diego" | tr -d '\r' | sed 's/^/  /'
  drive drop-down
  shot 2-search-results
  drive choose "San Diego, CA"
  drive wait-slide-in
  read -r temperature feels unit < <(drive read "$folder/Skins" | tr -d '\r')
  echo "San Diego, CA shows $temperature °$unit, feels like $feels °$unit"
  shot 3-weather-window
  drive menu exit
  wait "$program" || true
  trap - EXIT
  wineserver -k 2>/dev/null || true
  exit 0
fi

live=0
if [[ "${1:-}" == "--live" ]]; then live=1; fi

bash scripts/bootstrap.sh

for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The installed layout: the program, its skin and an empty download cache.
# The settings (Setup\) are written by the program and kept between runs
# when there is a display; the first run without one starts afresh.
mkdir -p "$folder/Temp"
cp build/windows/src/Skyvane.exe "$folder/"
rm -rf "$folder/Skins"
cp -r Skins "$folder/"
if [[ -z "${DISPLAY:-}" ]]; then rm -rf "$folder/Setup"; fi

# The service on its usual port with the world's towns (the native build made
# their data file), unless one answers there already.
started_service=0
if (exec 3<>/dev/tcp/127.0.0.1/8642) 2>/dev/null; then
  echo "service: one already answers on http://127.0.0.1:8642; using it"
else
  if ((live)); then
    options=(--places world --weather open-meteo)
    if [[ -n "${SKYVANE_OPEN_METEO_URL:-}" ]]; then options+=(--open-meteo-url "$SKYVANE_OPEN_METEO_URL"); fi
    if [[ -n "${SKYVANE_OPEN_METEO_KEY:-}" ]]; then options+=(--open-meteo-key "$SKYVANE_OPEN_METEO_KEY"); fi
    bash scripts/service.sh start 8642 "${options[@]}"
  else
    bash scripts/service.sh start 8642 --places world
  fi
  started_service=1
fi
stop_service() { if ((started_service)); then bash scripts/service.sh stop >/dev/null; fi; }
trap stop_service EXIT

if [[ -n "${DISPLAY:-}" ]]; then
  export SKYVANE_WINEPREFIX=$root/build/windows/wineprefix
  echo "Skyvane runs from $folder: click its tray icon; E&xit in its menu ends it."
  (cd "$folder" && "$wine_run" "$folder/Skyvane.exe")
  exit 0
fi

mkdir -p "$shots"
rm -f "$shots"/*.png
echo "No display: the first run in a virtual X server; screenshots:"
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --first-run
