#!/usr/bin/env bash
# Measures skyvane-service.exe under Wine as the widget starts it (the
# world's towns, live weather from the stand-in forecast server, local only):
# how soon it listens, its private bytes, search latency over HTTP; then the
# widget and its service together beside the minimal Win32 program. Uses the
# native and windows builds (cmake --build --preset native / windows first)
# and a Wine prefix of its own. Prints a table; measures, checks nothing.
#   scripts/service-footprint.sh [searches]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
searches=${1:-500}
native=$root/build/native
windows=$root/build/windows
work=$root/build/service-footprint
export SKYVANE_WINEPREFIX=${SKYVANE_WINEPREFIX:-$root/build/service-footprint-prefix}
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
source "$root/scripts/listening.sh"
wine_run() { "$root/cmake/wine-run.sh" "$@"; }
ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
connects() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# Private bytes as Wine reports them: the process's anonymous resident memory
# plus swap.
private_kib() {
  awk '/^RssAnon:|^VmSwap:/ {sum += $2} END {print sum}' "/proc/$1/status"
}
pid_of() { pgrep -f "$1" | head -n 1; }
settle() { for _ in $(seq 50); do sleep 0.1; done; }

minimal_exe=$windows/tools/footprint/skyvane-minimal.exe
# This run's processes only: by their paths in $work (the widget starts its
# service by its Windows path) and the minimal program of this build.
windows_work=$(sed 's|/|\\\\|g' <<<"$work")
mine=("^$work/" "^$minimal_exe" "$windows_work")
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for name in "${mine[@]}"; do
    for pid in $(pgrep -f "$name"); do kill "$pid" 2>/dev/null || true; done
  done
}
trap finish EXIT

rm -rf "$work"
mkdir -p "$work/alone/data" "$work/widget/data" "$work/widget/Setup" "$work/widget/Temp"
start "$work/fake.log" "$native/tests/service/fake-open-meteo" --listen 127.0.0.1:0
upstream=$port
for folder in alone widget; do
  cp "$windows/service/skyvane-service.exe" "$work/$folder/"
  cp "$native/service/data/world.img" "$work/$folder/data/"
done
wine_run "$minimal_exe" >/dev/null 2>&1 &  # makes the prefix
sleep 2 && for pid in $(pgrep -f "^$minimal_exe"); do kill "$pid"; done

# Wine's own start of a process: the service refusing an unknown option.
launched=$(date +%s%N)
wine_run "$work/alone/skyvane-service.exe" --no-such-option >/dev/null 2>&1 || true
wine_start=$(ms "$launched")

# The service alone, with the command line the widget gives it.
sport=28670
launched=$(date +%s%N)
(cd "$work/alone" && exec "$root/cmake/wine-run.sh" "$work/alone/skyvane-service.exe" --listen 127.0.0.1:$sport \
  --local-only --places world --weather open-meteo --threads 8 \
  --open-meteo-url "http://127.0.0.1:$upstream") >/dev/null 2>&1 &
pids+=($!)
until connects $sport; do sleep 0.005; done
listening=$(ms "$launched")
until curl -s -o /dev/null "http://127.0.0.1:$sport/healthz"; do sleep 0.01; done
answering=$(ms "$launched")
curl -s -o /dev/null "http://127.0.0.1:$sport/?location=Oslo"
first_search=$(ms "$launched")
queries=(Oslo "San Diego" Zurich "Z%FCrich" "Sao Paulo" 90210 "Springfield" Paris "Portland, OR"
  Lon Ber Mos "New York" Tokyo Lagos "Santa" Ha Kr "Saint" xyzzy)
urls=()
for ((i = 0; i < searches; i++)); do
  q=${queries[i % ${#queries[@]}]}
  urls+=("http://127.0.0.1:$sport/?location=${q// /%20}")
done
curl -s -o /dev/null "http://127.0.0.1:$sport/report/oslo-norway" || true
times=$(for url in "${urls[@]}"; do echo "-o /dev/null"; echo "url = \"$url\""; done |
  curl -s -w '%{time_total}\n' -K - | sort -n)
p50=$(awk -v n="$searches" 'NR == int(n * 0.50) {printf "%.2f", $1 * 1000}' <<<"$times")
p99=$(awk -v n="$searches" 'NR == int(n * 0.99) {printf "%.2f", $1 * 1000}' <<<"$times")
settle
alone=$(private_kib "$(pid_of "^$work/alone/skyvane-service.exe")")

# The widget with its service, and the minimal program.
printf '[General]\r\nURL0=http://127.0.0.1:28642/report/oslo-norway\r\nCity0=Oslo, Norway\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=false\r\n[Service]\r\nOpenMeteoUrl=http://127.0.0.1:%s\r\n' \
  "$upstream" >"$work/widget/Setup/Setup.ini"
cp "$windows/tests/e2e/SkyvaneLocalPort.exe" "$work/widget/Skyvane.exe"
cp -r "$root/Skins" "$work/widget/"
launched=$(date +%s%N)
(cd "$work/widget" && exec "$root/cmake/wine-run.sh" "$work/widget/Skyvane.exe") >/dev/null 2>&1 &
pids+=($!)
until connects 28642; do sleep 0.01; done
widget_listening=$(ms "$launched")
fetched() {
  (($(curl -s "http://127.0.0.1:$upstream/calls" | tr -d '\r\n') >= 1)) &&
    ! ls "$work/widget/Temp"/pg*.tmp >/dev/null 2>&1
}
until fetched; do
  (($(ms "$launched") < 30000)) || break
  sleep 0.05
done
first_weather=$(ms "$launched")
wine_run "$minimal_exe" >/dev/null 2>&1 &
pids+=($!)
settle
settle
widget=$(private_kib "$(pid_of "^$work/widget/Skyvane.exe")")
service=$(private_kib "$(pid_of "$windows_work.widget.skyvane-service.exe")")
minimal=$(private_kib "$(pid_of "^$minimal_exe")")

cat <<TABLE
| What | Figure |
|---|---|
| Wine: launch to the end of a process that only refuses its options | $wine_start ms |
| service: launch to listening (a Wine process start included) | $listening ms |
| service: launch to first answer (the world's towns loaded) | $answering ms |
| service: launch to its first search answered | $first_search ms |
| service: private bytes, world's towns, after $searches searches and a live report | $alone KiB |
| search over HTTP on loopback, $searches in a row on one connection: p50 / p99 | $p50 / $p99 ms |
| widget: launch to its service listening | $widget_listening ms |
| widget: launch to the first weather fetched through its service | $first_weather ms |
| widget private bytes | $widget KiB |
| its service's private bytes | $service KiB |
| widget and service together | $((widget + service)) KiB |
| minimal Win32 program | $minimal KiB |
TABLE
