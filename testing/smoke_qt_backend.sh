#!/usr/bin/env bash
# The Qt backend on a real X server: Xvfb with trayer as the tray host and qt_demo.
#   testing/smoke_qt_backend.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ci; screenshots and logs go to OUT_DIR (BUILD_DIR/qt-smoke).
# Checks: at start only the tray icon shows; a left click on it shows the form in the bottom-right
# corner of the work area, pixel for pixel what the headless backend shows of it, and follows the
# pointer when dragged; a right click opens the menu, whose "Zakończ" ends the program.
# Needs xvfb, trayer, xdotool, x11-utils and imagemagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/x_desktop.sh"
smoke_begin smoke examples/qt_demo qt-smoke "$@"
smoke_logs=(demo.log)
demo=$program

start_x_desktop 57 "$out" || fail "no X desktop"

# The built-in font makes the screenshot comparable with the headless snapshot.
"$demo" --snapshot "$out/headless.png" || fail "no headless snapshot"
"$demo" --builtin-font >"$out/demo.log" 2>&1 &
demo_pid=$!
pids+=("$demo_pid")

said() { grep -q "^$1" "$out/demo.log"; }
visible() { xdotool search --onlyvisible --class qt_demo 2>/dev/null || true; }

wait_for said "tray shown" || fail "the demo did not start"
wait_for test "$(visible | wc -l)" -ge 1 || fail "no tray icon"
sleep 0.5
windows=$(visible)
[ "$(echo "$windows" | wc -l)" -eq 1 ] || fail "at start more than the tray icon shows"
icon=$(echo "$windows" | head -1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
[ "$Y" -lt 24 ] || fail "the icon is not in the tray panel ($X,$Y)"
# shellcheck disable=SC2153  # X, Y, WIDTH and HEIGHT come from xdotool's eval above
icon_x=$((X + WIDTH / 2)) icon_y=$((Y + HEIGHT / 2))
echo "smoke: tray icon at $X,$Y ${WIDTH}x$HEIGHT"

xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for said "form " || fail "a click on the icon showed no form"
read -r _ left top width height < <(grep "^form " "$out/demo.log" | head -1)
eval "$(xdotool getdisplaygeometry --shell)"
((left + width == WIDTH && top + height == HEIGHT)) ||
    fail "the form is not in the bottom-right corner: $left,$top ${width}x$height"
echo "smoke: form at $left,$top ${width}x$height"

screen_matches "$out/headless.png" "$out/form.png" "$left" "$top" "$width" "$height" ||
    fail "the form on screen differs from the headless snapshot in $screen_diff pixels"
echo "smoke: the form on screen is the headless snapshot, pixel for pixel"

# Dragged by its paint box (at 134,56 in the form, 58 x 66), the form follows the pointer.
grab_x=$((left + 160))
grab_y=$((top + 90))
xdotool mousemove "$grab_x" "$grab_y" mousedown 1
xdotool mousemove $((grab_x - 60)) $((grab_y - 30))
xdotool mousemove $((grab_x - 100)) $((grab_y - 50)) mouseup 1
wait_for said "moved " || fail "dragging the form did not end in a move"
read -r _ moved_left moved_top < <(grep "^moved " "$out/demo.log" | head -1)
((moved_left == left - 100 && moved_top == top - 50)) ||
    fail "the form moved to $moved_left,$moved_top instead of $((left - 100)),$((top - 50))"
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name 'Taktomat – próbka')")"
((X == moved_left && Y == moved_top)) || fail "the window is at $X,$Y"
echo "smoke: dragged to $moved_left,$moved_top"

before=$(visible | wc -l)
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for said "tray right" || fail "a right click on the icon was not reported"
wait_for test "$(visible | wc -l)" -gt "$before" || fail "no menu opened"
import -window root "$out/menu.png"
echo "smoke: the menu is open"

xdotool key z
wait_for said "menu Zakończ" || fail "the menu's access key did not choose its entry"
wait_for bash -c "! kill -0 $demo_pid" || fail "the demo did not end"
wait "$demo_pid" || fail "the demo ended with an error"
echo "smoke: passed"
