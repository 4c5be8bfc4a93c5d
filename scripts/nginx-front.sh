#!/usr/bin/env bash
# deploy/nginx.conf on loopback: nginx (Debian's nginx-light) in front of two
# skyvane-service instances with live weather from a stand-in forecast
# server (fake-open-meteo), all on free loopback ports.
#
#   scripts/nginx-front.sh           200 concurrent clients ask for one place;
#                                    passes when all get the stand-in's numbers
#                                    and the stand-in saw exactly one call, and
#                                    requests that smuggle a request in their
#                                    body leave each link its own page
#   scripts/nginx-front.sh --bench   wrk at 8 and 64 connections: cached report
#                                    pages from the service alone, through
#                                    nginx's cache, and a static copy from nginx
#
# SKYVANE_NATIVE_BUILD chooses another build folder than build/native.
set -euo pipefail
export PATH=$PATH:/usr/sbin

root=$(cd "$(dirname "$0")/.." && pwd)
native=${SKYVANE_NATIVE_BUILD:-$root/build/native}
mode=${1:-check}
source "$root/scripts/listening.sh"
source "$root/scripts/nginx-loopback.sh"
loopback_setup nginx-front

# The stand-in answers after 300 ms, so that the clients' requests overlap.
start "$work/fake.log" "$fake" --listen 127.0.0.1:0 --temperature 63.5 --feels-like 61.2 \
  --delay-ms 300
fake_port=$port
live=(--weather open-meteo --open-meteo-url "http://127.0.0.1:$fake_port" --trusted-proxy 127.0.0.1)
start "$work/service1.log" "$service" --listen 127.0.0.1:0 "${live[@]}"
first=$port
start "$work/service2.log" "$service" --listen 127.0.0.1:0 "${live[@]}"
second=$port

# The load figures measure throughput from one address: without the
# per-client limits, and with a static copy beside the pages.
extra=()
if [[ "$mode" == "--bench" ]]; then
  mkdir -p "$work/static"
  extra=(-e '/limit_(req|conn) /d'
    -e "s|^    location / \{|    location = /static/report.html { root $work/static; }\n    location / {|")
fi
nginx_start "$work" "$first" "$second" "${extra[@]}"
echo "nginx http://127.0.0.1:$nginx_port in front of services on $first and $second," \
  "stand-in forecast server on $fake_port"

if [[ "$mode" == "--bench" ]]; then
  page=/report/austin-tx
  python3 - "$first" "$page" "$work/static/report.html" <<'PY'
import sys, urllib.request
body = urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}{sys.argv[2]}").read()
open(sys.argv[3], "wb").write(body)
PY
  mkdir -p "$work/static/static" && mv "$work/static/report.html" "$work/static/static/"
  # Warm the service's cache and nginx's.
  python3 -c "import urllib.request as u; [u.urlopen('http://127.0.0.1:$nginx_port$page').read() for _ in range(3)]"
  seconds=${SKYVANE_BENCH_SECONDS:-10}
  printf '%-22s %6s %12s %10s %8s %8s\n' what conns requests/s p99 errors timeouts
  for connections in 8 64; do
    for target in "service:http://127.0.0.1:$first$page" \
      "nginx cache:http://127.0.0.1:$nginx_port$page" \
      "nginx static:http://127.0.0.1:$nginx_port/static/report.html"; do
      name=${target%%:http*}
      url=${target#*:}
      out=$(wrk -t 2 -c "$connections" -d "${seconds}s" --latency "$url" 2>&1)
      rate=$(sed -nE 's/^Requests\/sec: *([0-9.]+).*/\1/p' <<<"$out")
      p99=$(sed -nE 's/^ *99% *([0-9.]+[a-z]+).*/\1/p' <<<"$out")
      errors=$(sed -nE 's/.*Non-2xx or 3xx responses: *([0-9]+).*/\1/p' <<<"$out")
      timeouts=$(sed -nE 's/.*Socket errors:.* timeout ([0-9]+).*/\1/p' <<<"$out")
      socket=$(sed -nE 's/.*Socket errors: connect ([0-9]+), read ([0-9]+), write ([0-9]+).*/\1+\2+\3/p' <<<"$out")
      printf '%-22s %6s %12s %10s %8s %8s\n' "$name" "$connections" "$rate" "$p99" \
        "$((${errors:-0} + ${socket:-0}))" "${timeouts:-0}"
    done
  done
  exit 0
fi

# 200 clients at once, each with its own connection and network, for one place.
python3 - "$nginx_port" <<'PY'
import http.client, sys, threading
port = sys.argv[1]
barrier = threading.Barrier(200)
results = []
lock = threading.Lock()
def client(n):
    connection = http.client.HTTPConnection("127.0.0.1", int(port), timeout=30,
                                            source_address=(f"127.0.{n + 2}.1", 0))
    barrier.wait()
    try:
        connection.request("GET", "/report/austin-tx")
        r = connection.getresponse()
        body = r.read().decode("latin-1")
        status = r.status
    except Exception as error:
        body, status = str(error), 0
    with lock:
        results.append((status, 'currentTemperature">64&deg;F' in body and '">61&deg;F</dd>' in body))
threads = [threading.Thread(target=client, args=(n,)) for n in range(200)]
for t in threads: t.start()
for t in threads: t.join()
good = sum(1 for status, numbers in results if status == 200 and numbers)
print(f"{good} of {len(results)} clients got the page with the stand-in's numbers")
sys.exit(0 if good == 200 else 1)
PY
calls=$(python3 -c "import urllib.request as u; print(u.urlopen('http://127.0.0.1:$fake_port/calls').read().decode().strip())")
echo "the stand-in forecast server saw $calls call(s)"
[[ "$calls" == 1 ]]

# Requests whose body is another request, through nginx: the links asked
# for next (on the kept-alive connections to the instances) get their own
# pages, then and from nginx's cache; other methods are refused.
python3 - "$nginx_port" <<'PY'
import http.client, socket, sys
nginx, ok = int(sys.argv[1]), True
smuggled = b"GET /report/austin-tx HTTP/1.1\r\nHost: x\r\n\r\n"
attack = (b"GET /?location=paris HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
          b"Content-Length: %d\r\n\r\n" % len(smuggled) + smuggled)
places = {"/report/oslo-norway": "Oslo, Norway", "/report/tokyo-japan": "Tokyo, Japan",
          "/report/new-york-ny": "New York, NY",
          "/report/london-united-kingdom": "London, United Kingdom"}
for link, name in places.items():
    for _ in range(20):
        s = socket.create_connection(("127.0.0.1", nginx), 5, source_address=("127.0.4.1", 0))
        s.sendall(attack)
        while s.recv(65536):
            pass
        s.close()
    for n in range(3):
        c = http.client.HTTPConnection("127.0.0.1", nginx, timeout=10,
                                       source_address=(f"127.0.{5 + n}.1", 0))
        c.request("GET", link)
        r = c.getresponse()
        body = r.read().decode("latin-1")
        if r.status != 200 or name not in body or "Austin" in body:
            print(f"{link}: {r.status}, not its own page")
            ok = False
c = http.client.HTTPConnection("127.0.0.1", nginx, timeout=10, source_address=("127.0.9.1", 0))
c.request("POST", "/report/oslo-norway", body="x")
r = c.getresponse()
print(f"after requests smuggling others, each link got its own page: {ok}; a POST gets {r.status}")
sys.exit(0 if ok and r.status == 403 else 1)
PY
