#!/usr/bin/env bash
# Skyvane starts while the sample service is down, as at a logon before the
# network is up: a search meanwhile says that the service cannot be reached
# and gives the controls back; once the service is up, the weather appears
# by the program's own retry, with nothing done by the user.
#   service_comes_back.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE FOLDER
# Stops the service on 8642 and starts it again.
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

service stop >/dev/null || true
stopped=1
program=
finish() {
  if ((stopped)); then service start 8642 --faults >/dev/null || true; fi
  if [[ -n "$program" ]] && kill -0 "$program" 2>/dev/null; then
    drive menu exit >/dev/null 2>&1 || true
    sleep 1
    kill "$program" 2>/dev/null || true
  fi
}
trap finish EXIT

(cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/Skyvane.exe") >"$folder.log" 2>&1 &
program=$!
started=$(date +%s)
drive wait-window
drive tray left
drive wait-slide-in
# Nothing loaded yet: the display shows its empty values.
empty=$(drive read "$folder/Skins" 2>/dev/null || true)
echo "shown without a service: $empty"

drive menu search
drive search-unreachable San || fail "the failed search was not said, or left the dialog stuck"

service start 8642 --faults >/dev/null
stopped=0
# The first download failed at the start; the retry comes 30 s after it.
until shown=$(drive read "$folder/Skins" 2>/dev/null) && [[ "$shown" != "$empty" ]]; do
  (($(date +%s) - started < 75)) || fail "no weather 75 s after the start"
  sleep 2
done
echo "weather shown $(($(date +%s) - started)) s after the start: $shown"

drive menu exit
status=0
wait "$program" || status=$?
[[ $status -eq 0 ]] || fail "exit status $status"
rm -rf "$folder" "$folder.log"
