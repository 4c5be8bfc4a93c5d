# Sourced by scripts that start servers of the project's in the background.
# start LOG PROGRAM ARGS...: starts a program that prints "listening on
# http://127.0.0.1:PORT", adds its pid to the array $pids and sets $port.
# Not in a subshell: the pid must reach the caller's clean-up.
start() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -nE 's|.*listening on http://127\.0\.0\.1:([0-9]+).*|\1|p' "$log")
    if [[ -n "$port" ]]; then return 0; fi
    sleep 0.05
  done
  echo "a program did not start: $*" >&2
  cat "$log" >&2
  return 1
}
