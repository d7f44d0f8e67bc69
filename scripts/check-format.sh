#!/usr/bin/env bash
# Fails when a tracked C++ file differs from .clang-format, and lists the files: the tree is kept
# formatted so that a diff shows only what a change meant to change.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=()
while IFS= read -r f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files -- '*.cpp' '*.h')
if [ ${#bad[@]} -ne 0 ]; then
  echo "These files differ from .clang-format (run clang-format -i on them):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format: all $(git ls-files -- '*.cpp' '*.h' | wc -l) C++ files match .clang-format"
