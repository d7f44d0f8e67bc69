#!/usr/bin/env bash
# The program on a desktop whose notification area comes late: Xvfb alone, trayer started later.
#   testing/smoke_desktop_qt.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ci; screenshots and logs go to OUT_DIR
# (BUILD_DIR/taktomat-desktop-smoke). Checks:
# - without a tray the main window is mapped in the bottom-right corner within a few seconds,
#   with one message box that says why; once trayer runs, the icon shows in it;
# - the close button's hint, at that corner, lies wholly on the screen (pixels of a screenshot);
# - the connect window's list of 20 entries shows a scroll bar, and the wheel moves its rows;
# - the close question while on-line shows (Polish buttons; see no-tray.png and question.png).
# Needs xvfb, trayer, xdotool, x11-utils and imagemagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/x_desktop.sh"
smoke_begin "desktop smoke" app/taktomat taktomat-desktop-smoke "$@"
smoke_logs=(taktomat.log)
rm -rf "$out/peers"
mkdir "$out/folder" "$out/peers"
# The phone book: 20 pppd peer files, dialled on the simulated line.
for i in $(seq -w 20); do echo "# a peer file" >"$out/peers/Dostawca $i"; done
# The visible window of the program that is H pixels high, or nothing.
window_of_height() {
    local w
    for w in $(xdotool search --onlyvisible --class taktomat 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        if [ "$HEIGHT" -eq "$1" ]; then
            echo "$w"
            return 0
        fi
    done
    return 1
}
# How many pixels of colour $2 the picture $1 holds.
count_colour() {
    convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:
}

start_x_server 45 "$out" || fail "no X server"
eval "$(xdotool getdisplaygeometry --shell)"
screen_w=$WIDTH screen_h=$HEIGHT

"$program" --simulate --peers "$out/peers" --dir "$out/folder" >"$out/taktomat.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
started=$(date +%s%N)

# --- no tray: the window in its corner, and one box that says why
wait_for xdotool search --onlyvisible --name '^Taktomat$' || fail "no window without a tray"
mapped_ms=$((($(date +%s%N) - started) / 1000000))
[ "$mapped_ms" -lt 6000 ] || fail "the window took $mapped_ms ms to show"
main=$(xdotool search --onlyvisible --name '^Taktomat$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
left=$X top=$Y
((X + WIDTH == screen_w && Y + HEIGHT == screen_h)) ||
    fail "the window is not in the bottom-right corner: $X,$Y ${WIDTH}x$HEIGHT"
say "without a tray the window showed after $mapped_ms ms at $X,$Y"
wait_for xdotool search --onlyvisible --name '^Taktomat 2000$' || fail "no message box says why"
box=$(xdotool search --onlyvisible --name '^Taktomat 2000$' | head -1)
sleep 0.5
import -window root "$out/no-tray.png"
xdotool windowfocus --sync "$box" key Return
wait_for bash -c "! xdotool search --onlyvisible --name '^Taktomat 2000$'" ||
    fail "the message box did not close"
say "one message box said so (no-tray.png)"

# --- a tray comes: the icon appears in it
start_tray_host "$out" || fail "no trayer"
icon_in_tray() {
    local w
    for w in $(xdotool search --onlyvisible --class taktomat 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$Y" -lt 24 ] && return 0
    done
    return 1
}
wait_for icon_in_tray || fail "the icon did not come into the tray that started later"
import -window root "$out/tray-later.png"
say "the icon came into the tray that started later (tray-later.png)"

# --- the close button's hint at the bottom-right corner lies on the screen
xdotool mousemove $((left + 192 + 62)) $((top + 43 + 10))
sleep 1.2
import -window root "$out/hint-corner.png"
hint=$(convert "$out/hint-corner.png" -fill black +opaque '#FFFFE1' -fill white -opaque '#FFFFE1' \
    -format '%@' info:)
[[ "$hint" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no hint on the screen ($hint)"
hw=${BASH_REMATCH[1]} hh=${BASH_REMATCH[2]} hx=${BASH_REMATCH[3]} hy=${BASH_REMATCH[4]}
# The hint's inside, and its black frame one pixel further on every side, are on the screen.
((hx >= 1 && hy >= 1 && hx + hw + 1 <= screen_w && hy + hh + 1 <= screen_h)) || fail "the hint runs off the screen: $hint"
frame=$(convert "$out/hint-corner.png" -format "%[pixel:p{$((hx + hw)),$((hy + hh / 2))}]" info:)
[[ "$frame" =~ ^(black|srgb\(0,0,0\)|#000000)$ ]] || fail "no frame right of the hint ($frame at $hint)"
say "the close button's hint lies on the screen at $hint (hint-corner.png)"
xdotool mousemove $((left + 100)) $((top + 70))
sleep 0.3

# --- the connect window's list of 20 entries: a scroll bar, and the wheel moves the rows
xdotool mousemove $((left + 8 + 3 * 25 + 12)) $((top + 43 + 10)) click 1
wait_for window_of_height 102 || fail "the connect button opened no window"
connect=$(window_of_height 102)
eval "$(xdotool getwindowgeometry --shell "$connect")"
cleft=$X ctop=$Y
xdotool mousemove $((cleft + 100)) $((ctop + 18)) click 1
sleep 0.5
list_x=$((cleft + 8)) list_y=$((ctop + 8 + 21))
import -window root "$out/list-open.png"
convert "$out/list-open.png" -crop "257x130+$list_x+$list_y" +repage "$out/list-before.png"
bar=$(convert "$out/list-open.png" -crop "12x120+$((list_x + 257 - 13))+$((list_y + 2))" +repage png:- |
    count_colour png:- '#FFFF80')
[ "$bar" -gt 40 ] || fail "the long list shows no scroll bar ($bar bar pixels)"
xdotool mousemove $((list_x + 60)) $((list_y + 40)) click 5
sleep 0.5
import -window root "$out/list-wheel.png"
convert "$out/list-wheel.png" -crop "257x130+$list_x+$list_y" +repage "$out/list-after.png"
moved=$(compare -metric AE "$out/list-before.png" "$out/list-after.png" null: 2>&1 || true)
[ "${moved%% *}" != 0 ] || fail "the wheel did not move the list"
say "the list of 20 shows a scroll bar ($bar pixels) and the wheel moved it ($moved pixels;" \
    "list-open.png, list-wheel.png)"
xdotool key Escape
sleep 0.3

# --- on-line, the close question with its Polish buttons
xdotool mousemove $((cleft + 200 + 17)) $((ctop + 72 + 10)) click 1  # OK: dial
sleep 8
xdotool mousemove $((left + 192 + 62)) $((top + 43 + 10)) click 1
wait_for xdotool search --onlyvisible --name '^Taktomat 2000$' || fail "no close question while on-line"
question=$(xdotool search --onlyvisible --name '^Taktomat 2000$' | head -1)
sleep 0.5
import -window root "$out/question.png"
say "the close question while on-line (question.png)"
xdotool windowfocus --sync "$question" key Return  # Tak: hang up and close
wait_for bash -c "! kill -0 $program_pid" || fail "\"Tak\" did not end the program"
wait "$program_pid" || fail "the program ended with an error"
say "passed"
