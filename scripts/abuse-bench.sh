#!/usr/bin/env bash
# One client abusing the public service while another uses it as a person
# would, all on loopback: deploy/nginx.conf in front of two instances of
# skyvane-service (the world's towns, live weather) and the stand-in
# forecast server, whose readings tell the second they were fetched.
#
#   scripts/abuse-bench.sh [SECONDS]   (default 60, at most 300)
#
# The attacker (source address 127.0.0.2) asks for distinct places as fast
# as it can; the person (127.0.0.1) reads three places and searches once a
# second. Prints the person's success rate, p99 and readings' age, the
# upstream calls per place and the attacker's, and nginx's cache size.
# SKYVANE_NATIVE_BUILD chooses another build folder than build/native;
# SKYVANE_BENCH_FRESH the readings' freshness in seconds (default 20, so
# that a short run sees several refreshes).
set -euo pipefail
export PATH=$PATH:/usr/sbin

root=$(cd "$(dirname "$0")/.." && pwd)
native=${SKYVANE_NATIVE_BUILD:-$root/build/native}
seconds=${1:-60}
((seconds >= 5 && seconds <= 300)) || { echo "abuse-bench: 5 to 300 seconds" >&2; exit 2; }
fresh=${SKYVANE_BENCH_FRESH:-20}
source "$root/scripts/listening.sh"
source "$root/scripts/nginx-loopback.sh"
loopback_setup abuse-bench
data=$native/service/data/world.tsv
[[ -f "$data" ]] || data=$root/tests/data/world_extract.tsv

start "$work/fake.log" "$fake" --listen 127.0.0.1:0 --delay-ms 50 --tell-time 1
fake_port=$port
live=(--places world --data "$data" --weather open-meteo
  --open-meteo-url "http://127.0.0.1:$fake_port" --fresh-seconds "$fresh"
  $(sed -nE 's/.*(--budget-minute.*)/\1/p' "$root/deploy/skyvane-service.service"))
start "$work/service1.log" "$service" --listen 127.0.0.1:0 "${live[@]}"
first=$port
start "$work/service2.log" "$service" --listen 127.0.0.1:0 "${live[@]}"
second=$port
nginx_start "$work" "$first" "$second"
echo "nginx on $nginx_port in front of $first and $second, stand-in on $fake_port," \
  "$(basename "$data"), readings fresh for ${fresh} s, ${seconds} s"

timeout $((seconds + 60)) python3 - "$nginx_port" "$first" "$fake_port" "$seconds" "$fresh" \
  "$work/cache" <<'PY'
import http.client, os, re, string, sys, threading, time

nginx, first, fake, seconds, fresh = (int(a) for a in sys.argv[1:6])
cache = sys.argv[6]

def get(port, path, source="127.0.0.1", connection=None):
    c = connection or http.client.HTTPConnection("127.0.0.1", port, timeout=15,
                                                 source_address=(source, 0))
    c.request("GET", path)
    r = c.getresponse()
    return r.status, r.read().decode("latin-1"), c

def temperature(body):
    m = re.search(r'currentTemperature">(-?\d+)&deg;', body)
    return int(m.group(1)) if m else None

# The places' links, as an attacker would gather them: from search pages,
# asked of an instance directly before the run (from a third address:
# searches that hit one place cost upstream calls too).
links, seen = [], set()
for a in string.ascii_lowercase:
    for b in string.ascii_lowercase:
        status, body, c = get(first, f"/?location={a}{b}", "127.0.0.9")
        c.close()
        for link in re.findall(r'href="(/report/[^"]+)"', body):
            if link not in seen:
                seen.add(link)
                links.append(link)
mine, theirs, clock_place = links[:3], links[3:-1], links[-1]
# The stand-in's clock: a new place's reading carries the second it was fetched.
status, body, c = get(first, clock_place, "127.0.0.10")
c.close()
zero = time.monotonic() - temperature(body)
def age(body):
    t = temperature(body)
    # Within a second either way of the stand-in's clock.
    return None if t is None else max(0, (int(time.monotonic() - zero) - t + 5) % 150 - 5)

print(f"{len(links)} places found; the person reads {' '.join(mine)}")
# The person has read its places before: they are known to the service.
for link in mine:
    get(nginx, link)[2].close()
def calls_by_place():
    status, body, c = get(fake, "/calls?by=place")
    c.close()
    return {k: int(v) for k, v in (line.rsplit(" ", 1) for line in body.split("\n") if line)}
before = calls_by_place()
end = time.monotonic() + seconds
attacker = {}
lock = threading.Lock()

def attack(offset):
    connection, i = None, offset
    while time.monotonic() < end:
        link = theirs[i % len(theirs)]
        if i >= len(theirs):  # then other forms of the same links: another name
            link = link.rsplit("/", 1)[0] + f"/X{i}"
        i += 4
        try:
            status, _, connection = get(nginx, link, "127.0.0.2", connection)
        except Exception:
            status, connection = 0, None
        with lock:
            attacker[status] = attacker.get(status, 0) + 1

threads = [threading.Thread(target=attack, args=(n,)) for n in range(4)]
for t in threads:
    t.start()

latencies, statuses, ages = [], {}, []
connection, next_round = None, time.monotonic()
while time.monotonic() < end:
    for path in mine + ["/?location=San"]:
        began = time.monotonic()
        try:
            status, body, connection = get(nginx, path, "127.0.0.1", connection)
        except Exception:
            status, body, connection = 0, "", None
        latencies.append(time.monotonic() - began)
        statuses[status] = statuses.get(status, 0) + 1
        if path in mine and status == 200 and age(body) is not None:
            ages.append(age(body))
    next_round += 1
    time.sleep(max(0, next_round - time.monotonic()))
for t in threads:
    t.join()

after = calls_by_place()
per_place = {k: v - before.get(k, 0) for k, v in after.items()}
def key(link):
    lat, lon = link.split("/")[2].split(",")
    return f"{lat},{lon}"
mine_calls = [per_place.get(key(link), 0) for link in mine]
attacker_calls = sum(per_place.values()) - sum(mine_calls)
files = [os.path.join(d, f) for d, _, fs in os.walk(cache) for f in fs]
size = sum(os.path.getsize(f) for f in files)
latencies.sort()
p99 = latencies[int(0.99 * (len(latencies) - 1))] * 1000
ok = statuses.get(200, 0)
print(f"person: {ok}/{len(latencies)} answered 200 ({100.0 * ok / len(latencies):.1f}%), "
      f"statuses {dict(sorted(statuses.items()))}, p99 {p99:.1f} ms, "
      f"max {latencies[-1] * 1000:.1f} ms")
print(f"person's readings: age at most {max(ages)} s (mean {sum(ages) / len(ages):.1f} s); "
      f"freshness window {fresh} s")
print(f"upstream calls for the person's places: {mine_calls} in {seconds} s "
      f"(windows of {fresh} s: at most {seconds // fresh + 1} each)")
print(f"attacker: {sum(attacker.values())} requests, statuses {dict(sorted(attacker.items()))}, "
      f"{attacker_calls} upstream calls")
print(f"nginx cache: {len(files)} files, {size // 1024} KB")
good = (statuses.get(503, 0) == 0 and max(ages) <= 2 * fresh + 2 and p99 <= 50
        and all(calls <= seconds // fresh + 1 for calls in mine_calls))
print("goal met" if good else "goal missed")
sys.exit(0 if good else 1)
PY
