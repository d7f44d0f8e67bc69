#!/usr/bin/env bash
# Builds the Windows program in Release (no debug information, no tests) and zips it with its
# README; prints the size of the exe.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --windows
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release --target taktomat
build=build/windows-release
exe=$build/app/taktomat.exe
if i686-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
  echo "package-windows: $exe carries debug information" >&2
  exit 1
fi
echo "package-windows: taktomat.exe is $(stat -c %s "$exe") bytes"
rm -f "$build"/taktomat-*-win32.zip
(cd "$build" && cpack -G ZIP)
unzip -l "$build"/taktomat-*-win32.zip
# Its README is read with Notepad: every line ends in CR LF.
if ! unzip -p "$build"/taktomat-*-win32.zip '*README.txt' | awk '!/\r$/ { bad = 1 } END { exit bad }'; then
  echo "package-windows: README.txt has lines without CR LF" >&2
  exit 1
fi
