#!/usr/bin/env bash
# Live weather end to end: the service in live mode against a stand-in
# forecast server, and Skyvane under Wine showing the stand-in's numbers.
#   live_weather.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE SERVICE FAKE_UPSTREAM FOLDER
# Everything listens on free loopback ports; the report link goes in the
# settings, so the program's built-in service address does not matter.
set -euo pipefail

root=$1 exe=$2 driver=$3 service_exe=$4 fake=$5 folder=$6
source "$root/tests/e2e/installed.sh"
source "$root/scripts/listening.sh"
on_screen "$@"
trap clean_up EXIT

start "$folder.fake.log" "$fake" --listen 127.0.0.1:0 --temperature -7.5 --feels-like -18.4
upstream=$port
start "$folder.service.log" "$service_exe" --listen 127.0.0.1:0 --weather open-meteo \
  --open-meteo-url "http://127.0.0.1:$upstream"
echo "service http://127.0.0.1:$port, stand-in forecast server on $upstream"

printf -v settings '[General]\r\nURL0=http://127.0.0.1:%s/report/oslo-norway\r\nCity0=Oslo, Norway\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=false\r\n' \
  "$port"
lay_out "$settings"

start_wine
start_program
drive wait-window
drive tray left
drive wait-slide-in
shown=$(drive read "$folder/Skins" | tr -d '\r')
echo "shown: $shown"
[[ "$shown" == "-8 -18 F" ]] || { echo "expected the stand-in's -8 and -18 (-7.5, -18.4 rounded)"; exit 1; }

# The stand-in's day: light rain by day, 63 and 48 F, 40%; the window shows
# its picture and the tooltip its second line, in either unit.
picture=$(drive condition "$folder/Skins" | tr -d '\r') || true
echo "condition shown: $picture"
[[ "$picture" == "rain" ]] || { echo "expected the rain picture"; exit 1; }
second_line() { drive tooltip "$folder/Skins" "$1" | tr -d '\r' | sed -n 2p; }
line=$(second_line "Light rain") || true
echo "tooltip's second line: $line"
[[ "$line" == $'Light rain, high 63\xb0, low 48\xb0, 40% chance of rain' ]] ||
  { echo "expected the stand-in's day in Fahrenheit"; exit 1; }
drive menu celsius
shown_in_celsius() {
  shown=$(drive read "$folder/Skins" | tr -d '\r') || true
  [[ "$shown" == "-22 -28 C" ]]
}
wait_every 0.5 20 shown_in_celsius || { echo "expected -22 and -28 in Celsius, saw $shown"; exit 1; }
line=$(second_line "high 17") || true
echo "in Celsius: $line"
[[ "$line" == $'Light rain, high 17\xb0, low 9\xb0, 40% chance of rain' ]] ||
  { echo "expected the stand-in's day in Celsius"; exit 1; }
stop_program
rm -rf "$folder" "$folder.log" "$folder.fake.log" "$folder.service.log"
echo "Skyvane shows the live numbers and the day"
