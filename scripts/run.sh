#!/usr/bin/env bash
# The main job: installs what is missing, builds everything and shows what
# Skyvane can do so far.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh

for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo
echo "Built:"
find build/windows -maxdepth 3 -name '*.exe' -not -path '*/googletest/*' | sed 's/^/  /'
echo
echo "The current conditions that the weather page scanner reads from the sample page:"
./build/native/bench/scan_bench --benchmark_filter=scanWeatherPage --benchmark_min_time=0.05 | tail -n 1
