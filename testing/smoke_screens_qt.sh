#!/usr/bin/env bash
# The program on desktops drawn larger and on two monitors side by side: Xvfb 2560x1024 split
# into two RandR monitors (Xvfb's own +xinerama puts both heads at 0,0), trayer as the tray host.
#   testing/smoke_screens_qt.sh [BUILD_DIR] [OUT_DIR]
# Checks: with "Xft.dpi: 192" on the root window, with QT_SCALE_FACTOR=2 and with SKALA=3 the
# meter is shown at 2x (3x) in the primary monitor's corner, pixel for pixel the headless
# snapshot blown up; a meter dragged onto the second monitor stays there, a tray click then
# shows it in that monitor's corner, and once that monitor is gone it comes to the primary.
# Needs xvfb, x11-xserver-utils (xrdb, xrandr), trayer, xdotool, x11-utils and imagemagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/x_desktop.sh"
smoke_begin screens app/taktomat taktomat-screens "$@"
smoke_logs=(taktomat.log)

X_SCREEN_SIZE=2560x1024x24 start_x_desktop 85 "$out" || fail "no X desktop"
xrandr --delmonitor screen >/dev/null 2>&1 || true
xrandr --setmonitor left 1280/339x1024/271+0+0 screen >/dev/null 2>&1 || true
xrandr --setmonitor right 1280/339x1024/271+1280+0 none >/dev/null 2>&1 || true
[ "$(xrandr --listmonitors | head -1)" = "Monitors: 2" ] || fail "no two monitors"

"$build/tools/demo/taktomat-demo" --snapshot "$out/headless.png" || fail "no headless snapshot"

program_pid=
# Starts the program (with the environment given), clicks its tray icon and leaves the meter's
# window id in `meter` and its place in left, top, width, height.
show_meter() {
    rm -rf "$out/folder"
    mkdir "$out/folder"
    if [ -n "${SKALA:-}" ]; then printf '[OKNO]\r\nSKALA=%s\r\n' "$SKALA" >"$out/folder/taktomat.ini"; fi
    env "$@" "$program" --simulate --builtin-font --dir "$out/folder" >"$out/taktomat.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    wait_for xdotool search --onlyvisible --class taktomat || fail "no tray icon"
    sleep 1
    local icon
    icon=$(xdotool search --onlyvisible --class taktomat | head -1)
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    # shellcheck disable=SC2153  # X, Y, WIDTH and HEIGHT come from xdotool's eval above
    icon_x=$((X + WIDTH / 2)) icon_y=$((Y + HEIGHT / 2))
    tray_click
}
tray_click() {
    xdotool mousemove "$icon_x" "$icon_y" click 1
    wait_for xdotool search --onlyvisible --name '^Taktomat$' || fail "a click on the icon showed no window"
    meter=$(xdotool search --onlyvisible --name '^Taktomat$' | head -1)
    sleep 0.5
    place
}
place() {
    eval "$(xdotool getwindowgeometry --shell "$meter")"
    left=$X top=$Y width=$WIDTH height=$HEIGHT
}
end_program() {
    kill "$program_pid"
    wait "$program_pid" || fail "the program ended with an error"
}

# The meter in the primary monitor's corner at FACTOR, the headless picture blown up.
expect_scaled() {
    local factor=$1 name=$2
    ((width == 275 * factor && height == 80 * factor)) ||
        fail "$name: the meter is ${width}x$height, not $((275 * factor))x$((80 * factor))"
    # A monitor whose size the factor does not divide ends within one logical pixel.
    local dx=$((left + width - 1280)) dy=$((top + height - 1024))
    ((dx > -factor && dx < factor && dy > -factor && dy < factor)) ||
        fail "$name: the meter is not in the primary monitor's corner: $left,$top"
    convert "$out/headless.png" -sample "$((factor * 100))%" "$out/headless-$name.png"
    screen_matches "$out/headless-$name.png" "$out/meter-$name.png" "$left" "$top" "$width" "$height" ||
        fail "$name: the meter differs from the headless snapshot blown up in $screen_diff pixels"
    cp "$out/shown.png" "$out/desktop-$name.png"
    echo "screens: $name: ${width}x$height in the corner, the 1x picture blown up pixel for pixel"
}

printf 'Xft.dpi: 192\n' >"$out/resources"
xrdb -nocpp -merge "$out/resources"
show_meter
expect_scaled 2 xft-dpi
end_program
xrdb -nocpp -remove

show_meter QT_SCALE_FACTOR=2
expect_scaled 2 qt-scale-factor
end_program

SKALA=3 show_meter
expect_scaled 3 skala
end_program

# Two monitors: dragged by its background onto the second one, the meter stays there.
show_meter
expect_scaled 1 one
xdotool mousemove $((left + 200)) $((top + 2)) mousedown 1
for x in 1300 1700 2000; do
    sleep 0.2
    xdotool mousemove "$x" 500
done
sleep 0.2
xdotool mouseup 1
sleep 1
place
((left == 1800 && top == 498)) || fail "the meter did not stay where it was dropped: $left,$top"
echo "screens: dragged onto the second monitor it stays at $left,$top"
import -window root "$out/second-monitor.png"

tray_click
((left == 2560 - 275 && top == 1024 - 80)) ||
    fail "a tray click did not show the meter in the second monitor's corner: $left,$top"
echo "screens: a tray click shows it in the second monitor's corner"

xrandr --delmonitor right >/dev/null 2>&1
sleep 1
place
((left == 1280 - 275 && top == 1024 - 80)) ||
    fail "with the second monitor gone the meter did not come to the primary: $left,$top"
echo "screens: with the second monitor gone the meter comes to the primary's corner"
end_program
echo "screens: passed"
