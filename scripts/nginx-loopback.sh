# Sourced by scripts that run deploy/nginx.conf on loopback.

# loopback_setup NAME: the service and the stand-in from $native (built when
# missing), nginx present, a work folder $work, and $pids killed and the
# folder removed on exit.
loopback_setup() {
  service=$native/service/skyvane-service
  fake=$native/tests/service/fake-open-meteo
  if [[ ! -x "$service" || ! -x "$fake" ]]; then
    cmake --preset native >/dev/null
    cmake --build "$native" --target skyvane-service fake-open-meteo >/dev/null
  fi
  command -v nginx >/dev/null || { echo "$1: nginx is not installed (nginx-light)" >&2; exit 1; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/skyvane-$1.XXXXXX")
  pids=()
  trap loopback_cleanup EXIT
}

loopback_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
# nginx_start WORK FIRST SECOND [SED-ARGS...]: writes deploy/nginx.conf with
# loopback ports, this run's folder WORK and the instances on ports FIRST and
# SECOND (plus any further sed expressions), starts nginx on a free port,
# adds its pid to $pids and sets $nginx_port once it accepts connections.
nginx_start() {
  local work=$1 first=$2 second=$3
  shift 3
  nginx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  mkdir -p "$work/cache" "$work/temp"
  sed -E \
    -e "s|^user .*|user $(id -un);|" \
    -e "s|^pid .*|pid $work/nginx.pid;|" \
    -e "s|^error_log .*|error_log $work/error.log;|" \
    -e "s|access_log [^;]*;|access_log off;|" \
    -e "s|proxy_cache_path /var/cache/nginx/skyvane|proxy_cache_path $work/cache|" \
    -e "s|server 127\.0\.0\.1:8642;|server 127.0.0.1:$first;|" \
    -e "s|server 127\.0\.0\.1:8643;|server 127.0.0.1:$second;|" \
    -e "s|listen 80;|listen 127.0.0.1:$nginx_port;|" \
    -e "s|^http \{|http {\n  client_body_temp_path $work/temp/body;\n  proxy_temp_path $work/temp/proxy;\n  fastcgi_temp_path $work/temp/fastcgi;\n  uwsgi_temp_path $work/temp/uwsgi;\n  scgi_temp_path $work/temp/scgi;|" \
    -e "s|^worker_processes .*|worker_processes 2;|" \
    "$@" "$root/deploy/nginx.conf" >"$work/nginx.conf"
  nginx -t -q -c "$work/nginx.conf" -p "$work" -g 'daemon off;' 2>"$work/nginx-check.log" || {
    cat "$work/nginx-check.log" >&2
    return 1
  }
  nginx -c "$work/nginx.conf" -p "$work" -g 'daemon off;' 2>>"$work/error.log" &
  pids+=($!)
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nginx did not start" >&2
  return 1
}
