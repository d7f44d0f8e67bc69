#!/usr/bin/env bash
# Runs shellcheck over every shell script of the repository (following what they source); fails on
# any finding. Silence one only at its line, with the reason beside it.
#   scripts/check-shell.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck -x "${scripts[@]}"
echo "check-shell: ${#scripts[@]} scripts, no findings"
