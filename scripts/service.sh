#!/usr/bin/env bash
# Starts or stops the sample weather service on loopback, in the background.
#   scripts/service.sh start [port] [service options...]   (default port 8642)
#   scripts/service.sh stop
# The pid file and the log are build/service.pid and build/service.log.
# The service must have been built (cmake --preset native && cmake --build --preset native).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
binary=${SKYVANE_SERVICE_BINARY:-$root/build/native/service/skyvane-service}
pidfile=$root/build/service.pid
logfile=$root/build/service.log

running() {
  [[ -f "$pidfile" ]] && kill -0 "$(cat "$pidfile")" 2>/dev/null
}

answers() {
  # bash's /dev/tcp: no curl needed.
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start() {
  local port=${1:-8642}
  shift || true
  if running; then
    echo "service: already running (pid $(cat "$pidfile"))" >&2
    return 1
  fi
  if [[ ! -x "$binary" ]]; then
    echo "service: $binary not built" >&2
    return 1
  fi
  if answers "$port"; then
    echo "service: port $port is taken" >&2
    return 1
  fi
  mkdir -p "$root/build"
  "$binary" --listen "127.0.0.1:$port" "$@" >>"$logfile" 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 100); do
    if answers "$port"; then
      echo "service: http://127.0.0.1:$port (pid $(cat "$pidfile"), log $logfile)"
      return 0
    fi
    if ! running; then break; fi
    sleep 0.1
  done
  echo "service: did not come up on port $port; see $logfile" >&2
  stop >/dev/null 2>&1 || true
  return 1
}

stop() {
  if ! running; then
    rm -f "$pidfile"
    echo "service: not running"
    return 0
  fi
  local pid
  pid=$(cat "$pidfile")
  kill "$pid"
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
  rm -f "$pidfile"
  echo "service: stopped (pid $pid)"
}

case "${1:-}" in
  start)
    shift
    start "$@"
    ;;
  stop) stop ;;
  *)
    echo "usage: $0 start [port] [service options...] | stop" >&2
    exit 2
    ;;
esac
