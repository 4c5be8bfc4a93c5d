#!/usr/bin/env bash
# Severe-weather alerts end to end: the live service with stand-ins for the
# forecast server and both alert sources, then the Windows test under Wine.
#   alerts.sh SOURCE_DIR TEST_EXE SERVICE FAKE_UPSTREAM FAKE_ALERTS FOLDER
set -euo pipefail

root=$1 test=$2 service=$3 fake=$4 alerts=$5 folder=$6
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

pids=()
finish() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap finish EXIT
source "$root/scripts/listening.sh"

mkdir -p "$(dirname "$folder")"
start "$folder.fake.log" "$fake" --listen 127.0.0.1:0
upstream=$port
start "$folder.alerts.log" "$alerts" --listen 127.0.0.1:0
sources=$port
start "$folder.service.log" "$service" --listen 127.0.0.1:0 --weather open-meteo \
  --open-meteo-url "http://127.0.0.1:$upstream" --nws-url "http://127.0.0.1:$sources" \
  --eccc-url "http://127.0.0.1:$sources"
echo "service http://127.0.0.1:$port, stand-in alert sources on $sources"

SKYVANE_ALERTS_SERVICE="http://127.0.0.1:$port" SKYVANE_FAKE_ALERTS="http://127.0.0.1:$sources" \
  "$root/cmake/wine-run.sh" "$test"
rm -f "$folder.fake.log" "$folder.alerts.log" "$folder.service.log"
