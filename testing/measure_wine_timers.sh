#!/usr/bin/env bash
# Timer messages the Windows program is handed in a minute, hidden and off-line, under Wine in
# Xvfb: every WM_TIMER that DispatchMessage sees, counted from Wine's message trace. Prints the
# figures; judges nothing.
#   testing/measure_wine_timers.sh EXE [EXE...]     (MEASURE_DISPLAY: the first X display, 77)
# Each EXE runs on its own, from a fresh folder of its own beside a copy of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { echo "usage: $0 EXE..." >&2; exit 2; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$(mktemp -d)

source "$root/scripts/x_desktop.sh"
cleanup_more() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
start_x_server "${MEASURE_DISPLAY:-77}" || exit 1
# The prefix is made quietly first, as the smoke does.
"$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

timers() { grep -c 'WM_TIMER dispatched' "$1" || true; }

for exe in "$@"; do
    dir=$work/$(basename "$(dirname "$exe")")-$RANDOM
    mkdir -p "$dir"
    cp "$exe" "$dir/taktomat.exe"
    WINEDEBUG=-all,+message wine "$dir/taktomat.exe" 2>"$dir/trace" >/dev/null &
    pid=$!
    sleep 10
    t0=$(timers "$dir/trace")
    sleep 60
    t1=$(timers "$dir/trace")
    kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$exe: $((t1 - t0)) timer messages in 60 s"
done
