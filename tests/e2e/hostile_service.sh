#!/usr/bin/env bash
# Bytes from the service are data: a results page whose name holds CR LF and
# "[x]" and whose links point at another host, from a service named by
# [Service] BaseUrl. The name reaches the settings file on one line, no
# request leaves for the other host, and the settings keep their shape.
# (The page is read in text mode, so each CR LF arrives as one byte.)
# Then a settings file that cannot be written: one warning, once.
#   hostile_service.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE FOLDER
set -euo pipefail

root=$1 exe=$2 driver=$3 folder=$4
source "$root/tests/e2e/installed.sh"
on_screen "$@"

logs=$folder.requests
rm -f "$logs".*
python3 "$root/tests/e2e/hostile_service.py" "$logs.ready" 300 "$logs.service" "$logs.other" &
pids+=($!)
trap clean_up EXIT
wait_for 10 test -s "$logs.ready" || true
read -r port other_port <"$logs.ready" || fail "the stand-in service did not start"

start_wine

lay_out
base=http://127.0.0.1:$port
printf '[General]\r\nURL0=\r\nCity0=\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=false\r\n[Service]\r\nBaseUrl=%s\r\n' \
  "$base" >"$folder/Setup/Setup.ini"
start_program
drive wait-window
drive menu search
listed=$(drive search evil | tr -d '\r')
echo "listed: $listed"
[[ "$listed" == "Evil [x] Town" ]] || fail "the list holds other entries or the raw name"
drive choose "Evil [x] Town"
drive wait-slide-in
shown=$(drive read "$folder/Skins" | tr -d '\r')
[[ "$shown" == "55 50 F" ]] || fail "shown: $shown"
stop_program
[[ $status -eq 0 ]] || fail "exit status $status"

expected=$(printf '[General]\nURL0=%s/report/evil\nCity0=Evil [x] Town\nURL1=\nCity1=\nURL2=\nCity2=\nMetric=false\n[Service]\nBaseUrl=%s' \
  "$base" "$base")
actual=$(tr -d '\r' <"$folder/Setup/Setup.ini")
[[ "$actual" == "$expected" ]] || fail "Setup.ini is now:"$'\n'"$actual"
[[ ! -s "$logs.other" ]] || fail "requests reached the other host: $(cat "$logs.other")"
grep -qx '/report/evil' "$logs.service" || fail "the report was not asked of BaseUrl's service"

# Setup.ini as a folder: no write can succeed, whoever runs the test.
lay_out
mkdir "$folder/Setup/Setup.ini"
start_program
drive wait-window
drive menu celsius
told=$(drive box | tr -d '\r')
echo "told: $told"
[[ "$told" == *'Setup\Setup.ini'*'will not be kept'* ]] || fail "the warning does not name the file"
drive menu fahrenheit
if drive box 2000 >/dev/null 2>&1; then fail "warned twice"; fi
stop_program
[[ $status -eq 0 ]] || fail "exit status $status"

rm -rf "$folder" "$folder.log" "$logs".*
echo "names kept on one line, links kept on the service, the failed save told once"
