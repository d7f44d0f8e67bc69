#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program and its tests with MinGW-w64 and runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows
# The smokes drive real windows under Wine with fixed waits; one failed run is tried again.
ctest --preset windows --repeat until-pass:2
