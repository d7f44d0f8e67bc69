#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program and its tests with MinGW-w64 and runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows
# Our settings reader and writer against the system's profile functions on generated files; the
# seed it prints replays a failure (--seed S --case K), and a larger run is --cases 100000. The
# run is the same every time, so a red result is about the change at hand; TT_INI_SEED=random
# explores new files.
seed=(--seed "${TT_INI_SEED:-20261207}")
[ "${TT_INI_SEED:-}" = random ] && seed=()
bash scripts/wine-run.sh build/windows/testing/ini_vs_system.exe "${seed[@]}" --cases "${TT_INI_CASES:-2000}"
# The smokes drive real windows under Wine with fixed waits; one failed run is tried again.
ctest --preset windows --repeat until-pass:2
