#!/usr/bin/env bash
# Sets up a fresh machine, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
if [ -x build/linux/app/taktomat ]; then
  exec build/linux/app/taktomat "$@"
fi
echo "The program itself is not built yet; what exists so far are its libraries and tests:"
find build/linux -maxdepth 2 -name '*.a' -o -maxdepth 2 -name '*_tests' -type f | sort
