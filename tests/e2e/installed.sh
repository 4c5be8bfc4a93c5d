# Sourced by the end-to-end scripts, after they set $root, $exe, $driver and
# $folder: a screen, the driver, the sample service, a folder laid out as
# installed, and the program started, stopped and cleaned up after.

# Runs the script again inside a virtual X server when there is no display;
# called with the script's arguments.
on_screen() {
  if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
  fi
}

drive() { "$root/cmake/wine-run.sh" "$driver" "$@"; }
service() { bash "$root/scripts/service.sh" "$@"; }
fail() {
  echo "FAILED: $*"
  exit 1
}

# wait_every INTERVAL SECONDS COMMAND...: runs the command every INTERVAL
# seconds until it succeeds; fails once SECONDS have passed without.
wait_every() {
  local interval=$1 limit=$2 begun=$SECONDS
  shift 2
  until "$@"; do
    ((SECONDS - begun <= limit)) || return 1
    sleep "$interval"
  done
}
# wait_for SECONDS COMMAND...: the same, every tenth of a second.
wait_for() { wait_every 0.1 "$@"; }

# The program and its skin in a fresh $folder; the settings file's text, when
# given, as Setup\Setup.ini.
lay_out() {
  rm -rf "$folder"
  mkdir -p "$folder/Temp" "$folder/Setup"
  cp "$exe" "$folder/Skyvane.exe"
  cp -r "$root/Skins" "$folder/"
  if (($# > 0)); then printf '%s' "$1" >"$folder/Setup/Setup.ini"; fi
}

# One location, Austin, on the sample service.
austin_settings=$'[General]\r\nURL0=http://127.0.0.1:8642/report/austin-tx\r\nCity0=Austin, TX\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=false\r\n'

# A first Wine call with its output elsewhere: a desktop process that it may
# start lives on and would hold the test's output open.
start_wine() { drive wait-exit >/dev/null 2>&1 || true; }

# Stops the sample service on 8642 for a while; clean_up starts it again when
# the script has not.
service_paused=0
pause_service() {
  service stop
  service_paused=1
}
resume_service() {
  service start 8642 --faults
  service_paused=0
}

# The pids of servers that the script starts in the background: ended on the
# way out.
pids=()
# The program's pid while it runs.
program=

# Starts the program in $folder in the background, as a shortcut does, its
# output in $folder.log; does not wait for its window.
start_program() {
  (cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/Skyvane.exe") >"$folder.log" 2>&1 &
  program=$!
}
program_ended() { ! kill -0 "$program" 2>/dev/null; }
# Exit from the tray menu, then waits for the program to end; its exit status
# in $status.
stop_program() {
  drive menu exit
  wait_for 20 program_ended || fail "the program did not end after Exit"
  status=0
  wait "$program" || status=$?
  program=
}

# For the EXIT trap: the sample service back if it was paused; a program
# still running told to exit and given time to end, and killed only when it
# has not; then the servers ended.
clean_up() {
  if ((service_paused)); then resume_service >/dev/null || true; fi
  if [[ -n "$program" ]] && ! program_ended; then
    drive menu exit >/dev/null 2>&1 || true
    wait_for 10 program_ended || kill "$program" 2>/dev/null || true
  fi
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
