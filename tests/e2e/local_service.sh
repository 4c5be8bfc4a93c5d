#!/usr/bin/env bash
# Skyvane on a PC with nothing else: in a folder laid out as installed, with
# the weather service and the world's towns beside it and nothing listening
# on the build's default address, it starts the service itself (live weather
# from the stand-in forecast server that [Service] OpenMeteoUrl names), finds
# a world town and shows the stand-in's numbers; the service refuses a
# foreign Host, comes back by itself when it is killed, and ends with the
# program. Then the port held by a foreign listener: the program runs, the
# search warns, and it exits with 0.
#   local_service.sh SOURCE_DIR SKYVANE_EXE DRIVER_EXE SERVICE_EXE WORLD_DATA FAKE_UPSTREAM
#                    DEFAULT_URL FOLDER
# SKYVANE_EXE is built with DEFAULT_URL, a port of this test's own.
set -euo pipefail

root=$1 exe=$2 driver=$3 service_exe=$4 world=$5 fake=$6 default_url=$7 folder=$8
source "$root/tests/e2e/installed.sh"
source "$root/scripts/listening.sh"
on_screen "$@"
if [[ ! "$default_url" =~ ^http://127\.0\.0\.1:([0-9]+)$ ]]; then
  echo "the build's address $default_url is not on loopback: nothing is started for it"
  exit 0
fi
service_port=${BASH_REMATCH[1]}
base=http://127.0.0.1:$service_port

answers() { curl -s -o /dev/null -m 2 "$base/healthz"; }
# The pids of the service processes that run from $folder (Wine's processes
# carry their Windows path).
service_pids() { pgrep -f "$(basename "$folder")\\\\skyvane-service.exe" || true; }
no_service() { [[ -z "$(service_pids)" ]] && ! answers; }

finish() {
  clean_up
  for pid in $(service_pids); do kill "$pid" 2>/dev/null || true; done
}
trap finish EXIT

wait_for 10 no_service || fail "something else listens on $service_port"
start "$folder.fake.log" "$fake" --listen 127.0.0.1:0 --temperature -7.5 --feels-like -18.4
upstream=$port

lay_out $'[Service]\r\nOpenMeteoUrl=http://127.0.0.1:'"$upstream"$'\r\n'
cp "$service_exe" "$folder/skyvane-service.exe"
mkdir -p "$folder/data"
cp "$world" "$folder/data/world.img"

start_wine

# First run, nothing chosen yet: the service comes up all the same.
start_program
started=$(date +%s%N)
wait_for 20 answers || fail "the service did not start"
echo "the service answers $((($(date +%s%N) - started) / 1000000)) ms after the program's start"
[[ -n "$(service_pids)" ]] || fail "no service process from the program's folder"

status=$(curl -s -o /dev/null -w '%{http_code}' -H "Host: rebound.example:$service_port" "$base/healthz")
[[ "$status" == 403 ]] || fail "a foreign Host got $status, not 403"

drive wait-window
drive menu search
found=$(drive search "Oslo" | tr -d '\r')
echo "found: $(head -n 3 <<<"$found" | paste -sd '|')"
grep -qx "Oslo, Norway" <<<"$found" || fail "Oslo, Norway not listed"
drive choose "Oslo, Norway"
drive tray left
drive wait-slide-in
shown=$(drive read "$folder/Skins" | tr -d '\r')
[[ "$shown" == "-8 -18 F" ]] || fail "shown $shown, not the stand-in's -8 -18 F"
echo "shown: $shown"

# Killed: the next failed download starts it again (at most once a minute
# after the last start), and the weather comes through the new service.
calls() { curl -s -m 2 "http://127.0.0.1:$upstream/calls" | tr -d '\r\n'; }
before=$(calls)
killed=$(date +%s)
for pid in $(service_pids); do kill -9 "$pid"; done
wait_for 10 no_service || fail "the service did not end"
drive refresh || true
wait_for 120 answers || fail "the service did not come back"
echo "the service is back $(($(date +%s) - killed)) s after it was killed"
more_calls() { (($(calls) > before)); }
wait_for 90 more_calls || fail "no weather through the new service"
shown=$(drive read "$folder/Skins" | tr -d '\r')
[[ "$shown" == "-8 -18 F" ]] || fail "shown $shown after the restart"

stop_program
[[ $status -eq 0 ]] || fail "exit status $status"
wait_for 10 no_service || fail "the service outlived the program"
echo "no service left after Exit"

# The port held by something else: nothing is started, the search warns.
# Another program's server: it answers every request with 503.
python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(16)
while True:
    c = s.accept()[0]
    c.settimeout(2)
    try:
        c.recv(4096)
        c.sendall(b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
    except OSError:
        pass
    c.close()
' "$service_port" >"$folder.foreign.log" 2>&1 &
pids+=($!)
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$service_port") 2>/dev/null; }
wait_for 10 listening || fail "the foreign listener did not start"
lay_out $'[Service]\r\nOpenMeteoUrl=http://127.0.0.1:'"$upstream"$'\r\n'
cp "$service_exe" "$folder/skyvane-service.exe"
start_program
drive wait-window
drive menu search
warning=$(drive search-unreachable Oslo | tr -d '\r') || fail "the search did not warn"
[[ "$warning" == *"port is in use"* ]] || fail "the warning does not name the port: $warning"
[[ -z "$(service_pids)" ]] || fail "a service was started beside the foreign listener"
stop_program
[[ $status -eq 0 ]] || fail "exit status $status beside a foreign listener"
rm -rf "$folder" "$folder.log" "$folder.fake.log" "$folder.foreign.log"
echo "Skyvane starts its own service, and goes on without it"
