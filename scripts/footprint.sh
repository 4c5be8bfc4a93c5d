#!/usr/bin/env bash
# Measures Skyvane's footprint and responsiveness under Wine beside a minimal
# Win32 program: builds the sample service (native preset) and the program
# with tools/footprint (windows preset), starts the service, runs
# skyvane-footprint in a virtual X server, stops the service and prints the
# table. Exits with the tool's status: 0 every goal met, 1 a goal missed,
# 2 the run failed.
#
#   scripts/footprint.sh [skyvane-footprint options...]
#   e.g. scripts/footprint.sh --refreshes 200 --searches 20 --slow-ms 0
#
# SKYVANE_NATIVE_BUILD and SKYVANE_WINDOWS_BUILD choose other build folders
# than the presets' own (build/native, build/windows).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native=${SKYVANE_NATIVE_BUILD:-$root/build/native}
windows=${SKYVANE_WINDOWS_BUILD:-$root/build/windows}
cd "$root"

echo "== build" >&2
{
  cmake --preset native -B "$native" &&
    cmake --build "$native" --target skyvane-service -j2 &&
    cmake --preset windows -B "$windows" &&
    cmake --build "$windows" --target skyvane-footprint -j2
} >"$root/build/footprint-build.log" 2>&1 || {
  tail -n 40 "$root/build/footprint-build.log" >&2
  exit 2
}

# The program sends its searches to the address compiled into it, so the
# service must listen there.
base=$(sed -n 's/^SKYVANE_SERVICE_BASE_URL:[A-Z]*=//p' "$windows/CMakeCache.txt")
port=${base##*:}
answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Other test runs use the same port for a while; wait for them.
for _ in $(seq 120); do
  answers "$port" || break
  echo "== port $port is taken; waiting" >&2
  sleep 5
done
if answers "$port"; then
  echo "port $port stayed taken" >&2
  exit 2
fi

echo "== service on $base" >&2
"$native/service/skyvane-service" --listen "127.0.0.1:$port" --faults >"$root/build/footprint-service.log" 2>&1 &
service=$!
trap 'kill "$service" 2>/dev/null; wait "$service" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  answers "$port" && break
  sleep 0.1
done

echo "== machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)," \
  "$(free -m | awk '/^Mem:/ {print $2}') MiB, $(wine --version 2>/dev/null | head -n 1), $(date -u +%Y-%m-%d)" >&2

# A Wine prefix of its own, so that no test run shares its Wine server; one
# server stays up for the whole run.
export SKYVANE_WINEPREFIX=$windows/wineprefix-footprint
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  runner=$1
  shift
  "$runner" "$1" --usage >/dev/null 2>&1 </dev/null
  WINEPREFIX=$SKYVANE_WINEPREFIX wineserver -p
  "$runner" "$@"
  status=$?
  WINEPREFIX=$SKYVANE_WINEPREFIX wineserver -k
  exit $status
' footprint "$root/cmake/wine-run.sh" "$windows/tools/footprint/skyvane-footprint.exe" "$@" ||
  status=$?
exit "$status"
