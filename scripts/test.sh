#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
preset=${1:-ci}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
# The desktop build in a real X server, with a tray host.
if [ "$preset" != tsan ] && [ -x "build/$preset/examples/qt_demo" ]; then
  bash testing/smoke_qt_backend.sh "build/$preset"
fi
if [ "$preset" != tsan ] && [ -x "build/$preset/app/taktomat" ]; then
  bash testing/smoke_qt.sh "build/$preset"
  # A desktop whose tray comes late: the window, the hint at the corner, the long list.
  bash testing/smoke_desktop_qt.sh "build/$preset"
  # On-line: the desktop notified over D-Bus, the tray's icon and tip.
  bash testing/smoke_notify_qt.sh "build/$preset"
  # Desktops drawn larger, and two monitors side by side.
  bash testing/smoke_screens_qt.sh "build/$preset"
fi
