#!/usr/bin/env bash
# The test programs that cross threads (the GUI thread's wake-up and the dial-up notifier's
# hand-over), built and run under the thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
targets=(toolkit_tests headless_tests ras_tests dialup_tests)
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target "${targets[@]}"
for t in "${targets[@]}"; do
  exe=$(find build/tsan -type f -name "$t" -perm -u+x | head -n 1)
  echo "== $t"
  "$exe" --gtest_brief=1
done
