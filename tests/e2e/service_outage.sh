#!/usr/bin/env bash
# The sample service stops while Skyvane shows its weather: the next refresh
# fails, and the window keeps its values and the settings file its bytes.
#   service_outage.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE FOLDER
# Stops the service on 8642 for a moment and starts it again.
set -euo pipefail

root=$1 exe=$2 driver=$3 folder=$4
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

source "$root/tests/e2e/installed.sh"

lay_out "$austin_settings"

# A first Wine call with its output elsewhere: a desktop process that it may
# start lives on and would hold the test's output open.
drive wait-exit >/dev/null 2>&1 || true

(cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/Skyvane.exe") >"$folder.log" 2>&1 &
program=$!
stopped=0
finish() {
  if ((stopped)); then service start 8642 --faults >/dev/null || true; fi
  if kill -0 "$program" 2>/dev/null; then
    drive menu exit >/dev/null 2>&1 || true
    sleep 1
    kill "$program" 2>/dev/null || true
  fi
}
trap finish EXIT

drive wait-window
drive tray left
drive wait-slide-in
before=$(drive read "$folder/Skins")
echo "shown with the service up: $before"
cp "$folder/Setup/Setup.ini" "$folder.saved"

service stop
stopped=1
drive refresh
after=$(drive read "$folder/Skins")
echo "shown after a refresh without it: $after"
[[ "$after" == "$before" ]] || { echo "the values changed"; exit 1; }
cmp "$folder/Setup/Setup.ini" "$folder.saved" || { echo "the settings changed"; exit 1; }

service start 8642 --faults
stopped=0
drive menu exit
status=0
wait "$program" || status=$?
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
cmp "$folder/Setup/Setup.ini" "$folder.saved" || { echo "the settings changed at exit"; exit 1; }
rm -rf "$folder" "$folder.saved" "$folder.log"
echo "kept the values and the settings"
