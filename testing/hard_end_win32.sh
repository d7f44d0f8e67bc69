#!/usr/bin/env bash
# A hard end of taktomat.exe under Wine during a connection (taskkill /f, as the task manager
# does) loses nothing: the next start writes the connection's record, once. The program lives in
# a folder whose name has letters outside the ANSI code page, so the same run shows that the
# settings are read and the log written through such a path.
#   hard_end_win32.sh [BUILD_DIR] [OUT_DIR]   (defaults: build/windows, BUILD_DIR/taktomat-hard-end)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
out=${2:-$build/taktomat-hard-end}
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  DISPLAY="" "$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
fi

rm -rf "$out"
folder="$out/Połączenia ąłź"
mkdir -p "$folder"
cp "$build/app/taktomat.exe" "$folder/"
ini=$folder/taktomat.ini
log=$folder/raport.txt
# One price in every zone, so the record's cost says that this file was read; a whole number
# reads the same under every decimal separator.
prices=$'[OPCJE]\r\nCENA1=2\r\nCENA2=2\r\nCENA3=2\r\n'

# Runs the program for $1 seconds, then ends it as the task manager would.
run_and_kill() {
  "$root/scripts/wine-run.sh" "$folder/taktomat.exe" &
  local pid=$!
  sleep "$1"
  wine taskkill /f /im taktomat.exe >/dev/null 2>&1 || true
  wait "$pid" || true
  timeout 20 wineserver -w || true
}
records() { if [ -f "$log" ]; then grep -c $'\t' "$log" || true; else echo 0; fi; }

fail=0
# On-line (the host name's address counts): the connection runs when the program is killed.
printf '%s[ONLINE]\r\nRULE=hostname\r\n' "$prices" >"$ini"
"$here/with_xvfb.sh" bash -c "$(declare -f run_and_kill); folder='$folder' root='$root' run_and_kill 6"
echo "hard end: records after the kill: $(records) (wanted 0: nothing is written at a hard end)"
[ "$(records)" = 0 ] || fail=1

# Off-line now: each start takes the journaled connection back into the log, the first only.
printf '%s' "$prices" >"$ini"
for start in 1 2; do
  "$here/with_xvfb.sh" bash -c "$(declare -f run_and_kill); folder='$folder' root='$root' run_and_kill 5"
  echo "hard end: records after start $start: $(records) (wanted 1)"
  [ "$(records)" = 1 ] || fail=1
done
if [ -f "$log" ] && grep -qE $'\t1\t2([.,]0+)?\t\r$' "$log"; then
  echo "hard end: the record: $(tr -d '\r' <"$log")"
else
  echo "hard end: no record of one pulse at 2 in $log" >&2
  fail=1
fi
if [ "$fail" -ne 0 ]; then echo "hard end: FAILED (folder $folder)"; exit 1; fi
echo "hard end: passed"
