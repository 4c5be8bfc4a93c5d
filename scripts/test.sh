#!/usr/bin/env bash
# Installs what is missing, builds and runs every suite (native, sanitizers,
# short fuzz runs, Windows under Wine) and ends with one line:
# N passed, N failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh || { echo "0 passed, 1 failed"; exit 1; }

logs=$root/build/logs
mkdir -p "$logs"
passed=0
failed=0

# Adds a suite's ctest figures to the totals; a suite that fails to build
# counts as one failure.
count() {
  local log=$1 line total bad
  line=$(grep -E '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z "$line" ]]; then
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

build() {
  local preset=$1
  echo "== $preset: build"
  if ! { cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1 &&
    cmake --build --preset "$preset" >"$logs/$preset-build.log" 2>&1; }; then
    tail -n 40 "$logs/$preset-configure.log" "$logs/$preset-build.log" 2>/dev/null
    failed=$((failed + 1))
    return 1
  fi
}

for preset in native native-asan fuzz; do
  if build "$preset"; then
    echo "== $preset: test"
    ctest --preset "$preset" 2>&1 | tee "$logs/$preset-test.log" | grep -E '(Failed|Timeout|\*\*\*)|tests passed' || true
    count "$logs/$preset-test.log"
  fi
done

if build windows; then
  echo "== windows: test under Wine"
  export SKYVANE_WINEPREFIX=$root/build/windows/wineprefix
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    # Create the prefix and keep one Wine server up for the whole run.
    cmake/wine-run.sh build/windows/tests/win/win_tests.exe --gtest_list_tests >/dev/null 2>&1
    WINEPREFIX=$SKYVANE_WINEPREFIX wineserver -p
    ctest --preset windows
    status=$?
    WINEPREFIX=$SKYVANE_WINEPREFIX wineserver -k
    exit $status
  ' 2>&1 | tee "$logs/windows-test.log" | grep -E '(Failed|Timeout|\*\*\*)|tests passed' || true
  count "$logs/windows-test.log"
fi

echo "logs: $logs"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
