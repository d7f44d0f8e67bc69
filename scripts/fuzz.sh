#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang with the address and undefined-behaviour
# sanitizers) and runs each for a while from its seed corpus, fuzz/corpus/TARGET/. What a run
# finds new goes to build/fuzz/corpus/TARGET/, so the committed seeds stay small; a crash leaves
# its input in build/fuzz/ (crash-TARGET-*) and fails the script.
#   scripts/fuzz.sh [SECONDS]     (each target's run; default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
targets=(fuzz_ini fuzz_log fuzz_conversions fuzz_pppd)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for target in "${targets[@]}"; do
  found=build/fuzz/corpus/$target
  log=build/fuzz/$target.log
  mkdir -p "$found"
  status=0
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/crash-$target-" \
    "$found" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz: $target failed; its input is in build/fuzz/crash-$target-*, its output in $log" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  corpus=$(find "$found" "fuzz/corpus/$target" -type f | wc -l)
  echo "fuzz: $target: $runs inputs in $seconds s, no fault; corpus $corpus files"
done
echo "fuzz: all ${#targets[@]} targets ran without a fault"
