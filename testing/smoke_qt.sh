#!/usr/bin/env bash
# The program on a real X server: Xvfb with trayer as the tray host.
#   testing/smoke_qt.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ci; screenshots and logs go to OUT_DIR (BUILD_DIR/taktomat-smoke).
# Checks: at start only the tray icon shows; a click on it shows the window in the bottom-right
# corner of the available area, pixel for pixel what the headless backend shows of it; a right
# click opens the menu; "Zamknij" ends the program, which writes its height to taktomat.ini.
# Needs xvfb, trayer, xdotool, x11-utils and imagemagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/x_desktop.sh"
smoke_begin smoke app/taktomat taktomat-smoke "$@"
smoke_logs=(taktomat.log)
mkdir "$out/folder"

start_x_desktop 67 "$out" || fail "no X desktop"

"$build/tools/demo/taktomat-demo" --snapshot "$out/headless.png" || fail "no headless snapshot"
"$program" --simulate --builtin-font --dir "$out/folder" >"$out/taktomat.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")

visible() { xdotool search --onlyvisible --class taktomat 2>/dev/null || true; }
more_than() { [ "$(visible | wc -l)" -gt "$1" ]; }

wait_for more_than 0 || fail "no tray icon"
sleep 1
windows=$(visible)
[ "$(echo "$windows" | wc -l)" -eq 1 ] || fail "at start more than the tray icon shows"
icon=$(echo "$windows" | head -1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
[ "$Y" -lt 24 ] || fail "the only window is not the icon in the tray panel ($X,$Y)"
# shellcheck disable=SC2153  # X, Y, WIDTH and HEIGHT come from xdotool's eval above
icon_x=$((X + WIDTH / 2)) icon_y=$((Y + HEIGHT / 2))
echo "smoke: only the tray icon, at $X,$Y ${WIDTH}x$HEIGHT"
import -window root "$out/start.png"

# One copy per folder: a second start brings the first one's window up, as the tray click does,
# and ends by itself.
timeout 20 "$program" --simulate --builtin-font --dir "$out/folder" >"$out/second.log" 2>&1 ||
    fail "the second start did not end by itself with 0: $(cat "$out/second.log")"
wait_for xdotool search --onlyvisible --name '^Taktomat$' ||
    fail "the second start did not bring the first copy's window up"
echo "smoke: a second start brought the first copy's window up and ended"

xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for xdotool search --onlyvisible --name '^Taktomat$' || fail "a click on the icon showed no window"
main=$(xdotool search --onlyvisible --name '^Taktomat$' | head -1)
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
left=$X top=$Y width=$WIDTH height=$HEIGHT
eval "$(xdotool getdisplaygeometry --shell)"
((left + width == WIDTH && top + height == HEIGHT)) ||
    fail "the window is not in the bottom-right corner: $left,$top ${width}x$height"
echo "smoke: window at $left,$top ${width}x$height"

screen_matches "$out/headless.png" "$out/window.png" "$left" "$top" "$width" "$height" ||
    fail "the window on screen differs from the headless snapshot in $screen_diff pixels"
echo "smoke: the window on screen is the headless snapshot, pixel for pixel"

before=$(visible | wc -l)
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for more_than "$before" || fail "a right click opened no menu"
import -window root "$out/menu.png"
echo "smoke: the menu is open"

xdotool key z
wait_for bash -c "! kill -0 $program_pid" || fail "\"Zamknij\" did not end the program"
wait "$program_pid" || fail "the program ended with an error"
ini=$out/folder/taktomat.ini
grep -q "^H=$height" "$ini" || fail "taktomat.ini holds no height $height: $(cat "$ini" 2>&1)"
echo "smoke: closing wrote H=$height to taktomat.ini"
echo "smoke: passed"
