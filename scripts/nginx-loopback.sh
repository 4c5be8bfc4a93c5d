# Sourced by scripts that run deploy/nginx.conf on loopback.
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
