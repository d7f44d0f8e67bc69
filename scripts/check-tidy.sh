#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the product's sources (not the tests, the test
# helpers, the fuzz targets, the benchmarks or the sample forms), as the ci build compiles them.
# Fails on any warning; each is listed once, however many files include its header.
#   scripts/check-tidy.sh [BUILD_DIR]     (default build/ci, configured: it reads its
#                                          compile_commands.json; generated files need a build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/ci}
[ -f "$build/compile_commands.json" ] ||
  { echo "check-tidy: no $build/compile_commands.json (cmake --preset ci first)" >&2; exit 2; }
log=$build/clang-tidy.log

units='app|base|controls|dialup|log|metering|platform|session|settings|toolkit|tools|windows'
status=0
run-clang-tidy -quiet -j "${TIDY_JOBS:-2}" -p "$build" \
  "^$root/($units)/(?!.*_test\.cpp\$).*\.cpp\$" >"$log.color" 2>&1 || status=$?
# run-clang-tidy always asks for colours.
sed 's/\x1b\[[0-9;]*m//g' "$log.color" >"$log"
rm -f "$log.color"
findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" | sed "s|^$root/||" | sort -u || true)
files=$(grep -c '^clang-tidy' "$log" || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "check-tidy: $(echo "$findings" | wc -l) findings in $files files (the whole output: $log)" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$log" >&2
  echo "check-tidy: clang-tidy failed" >&2
  exit 1
fi
echo "check-tidy: $files files, no findings"
