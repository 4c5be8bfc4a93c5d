#!/usr/bin/env bash
# The sample service stops while Skyvane shows its weather: the next refresh
# fails, and the window keeps its values and the settings file its bytes.
#   service_outage.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE FOLDER
# Stops the service on 8642 for a moment and starts it again.
set -euo pipefail

root=$1 exe=$2 driver=$3 folder=$4
source "$root/tests/e2e/installed.sh"
on_screen "$@"
trap clean_up EXIT

lay_out "$austin_settings"
start_wine
start_program
drive wait-window
drive tray left
drive wait-slide-in
before=$(drive read "$folder/Skins")
echo "shown with the service up: $before"
cp "$folder/Setup/Setup.ini" "$folder.saved"

pause_service
drive refresh
after=$(drive read "$folder/Skins")
echo "shown after a refresh without it: $after"
[[ "$after" == "$before" ]] || { echo "the values changed"; exit 1; }
cmp "$folder/Setup/Setup.ini" "$folder.saved" || { echo "the settings changed"; exit 1; }

resume_service
stop_program
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
cmp "$folder/Setup/Setup.ini" "$folder.saved" || { echo "the settings changed at exit"; exit 1; }
rm -rf "$folder" "$folder.saved" "$folder.log"
echo "kept the values and the settings"
