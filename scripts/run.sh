#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the program and starts it. Without a display the
# program says so and demonstrates one metered connection on the simulated line instead.
#   scripts/run.sh [program options]     e.g. --simulate, --dir DIR, --help
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset linux >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): a demonstration of one metered connection instead."
  cmake --build --preset linux --target taktomat-demo
  exec build/linux/tools/demo/taktomat-demo "$@"
fi
cmake --build --preset linux --target taktomat
exec build/linux/app/taktomat "$@"
