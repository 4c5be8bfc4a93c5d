#!/usr/bin/env bash
# A longer fuzzing run of every fuzz target (or of those named), one after the
# other: scripts/fuzz.sh [seconds-per-target] [target...]
#
# Builds the fuzz preset, then runs each target for the given seconds (60 by
# default) on its corpus under build/fuzz/long/<target>/corpus, which starts
# from the checked-in seeds and keeps what earlier runs found. Prints for each
# target the executions, the coverage (libFuzzer's cov and ft) and the
# findings; a finding's input is kept in build/fuzz/long/<target>/artifacts.
# Exits non-zero when anything was found.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
if ! [[ $seconds =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [seconds-per-target] [target...]" >&2
  exit 2
fi

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || {
  echo "the fuzz preset did not build" >&2
  exit 1
}

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for binary in build/fuzz/fuzz/fuzz_*; do targets+=("${binary##*/fuzz_}"); done
fi

found=0
printf '%-16s %12s %8s %8s %8s  %s\n' target executions cov ft corpus findings
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/fuzz_$target
  work=build/fuzz/long/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  cp -n fuzz/corpus/"$target"/* "$work/corpus/" 2>/dev/null
  options=()
  case $target in
    find_marker | weather_page | search_results | text_mode)
      # Page readers are seeded with the test pages and the service's pages too.
      cp -n tests/data/* fuzz/corpus/pages/* "$work/corpus/" 2>/dev/null
      options+=(-dict=fuzz/pages.dict)
      ;;
    forecast) options+=(-dict=fuzz/forecast.dict) ;;
  esac
  before=$(find "$work/artifacts" -type f | wc -l)
  "$binary" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "${options[@]}" \
    >"$work/log" 2>&1
  status=$?
  # The last status line ("#N DONE cov: X ft: Y corp: Z/...") and the stats.
  last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)
  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$work/log")
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  corpus=$(sed -nE 's/.* corp: ([0-9]+).*/\1/p' <<<"$last")
  new=$(($(find "$work/artifacts" -type f | wc -l) - before))
  if [[ $status -ne 0 || $new -gt 0 ]]; then
    found=$((found + 1))
    findings="$new (exit $status; see $work/log and $work/artifacts)"
  else
    findings=0
  fi
  printf '%-16s %12s %8s %8s %8s  %s\n' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" \
    "${corpus:-?}" "$findings"
done
[[ $found -eq 0 ]]
