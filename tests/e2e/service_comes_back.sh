#!/usr/bin/env bash
# Skyvane starts while the sample service is down, as at a logon before the
# network is up: a search meanwhile says that the service cannot be reached
# and gives the controls back; once the service is up, the weather appears
# by the program's own retry, with nothing done by the user.
#   service_comes_back.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE FOLDER
# Stops the service on 8642 and starts it again.
set -euo pipefail

root=$1 exe=$2 driver=$3 folder=$4
source "$root/tests/e2e/installed.sh"
on_screen "$@"
trap clean_up EXIT

pause_service >/dev/null || true
lay_out "$austin_settings"
start_wine
start_program
started=$SECONDS
drive wait-window
drive tray left
drive wait-slide-in
# Nothing loaded yet: the display shows its empty values.
empty=$(drive read "$folder/Skins" 2>/dev/null || true)
echo "shown without a service: $empty"

drive menu search
drive search-unreachable San || fail "the failed search was not said, or left the dialog stuck"

resume_service >/dev/null
# The first download failed at the start; the retry comes 30 s after it.
weather_shown() { shown=$(drive read "$folder/Skins" 2>/dev/null) && [[ "$shown" != "$empty" ]]; }
wait_every 2 $((75 - (SECONDS - started))) weather_shown || fail "no weather 75 s after the start"
echo "weather shown $((SECONDS - started)) s after the start: $shown"

stop_program
[[ $status -eq 0 ]] || fail "exit status $status"
rm -rf "$folder" "$folder.log"
