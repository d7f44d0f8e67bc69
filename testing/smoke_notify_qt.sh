#!/usr/bin/env bash
# The tray while on-line: Xvfb with trayer, and a D-Bus session bus of its own.
#   testing/smoke_notify_qt.sh [BUILD_DIR] [OUT_DIR]   (build/ci, BUILD_DIR/taktomat-notify-smoke)
# On-line through "[ONLINE] INTERFACES": a tun interface in a network namespace of its own, else
# the machine's first interface that is up. Checks: a limit reached is a Notify call that
# dbus-monitor sees; the tray icon is the green on-line one (tooltip.png shows the tip); with the
# interface taken down, the end is notified and the icon is yellow again. Nobody serves the
# notifications here, so the tray icon's own message shows them too (balloon.png).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/x_desktop.sh"
smoke_begin "notify smoke" app/taktomat taktomat-notify-smoke "$@"
smoke_logs=(taktomat.log dbus-monitor.log)

# Once more inside a network namespace (where an interface can be made without touching the
# machine's) when the system allows it, and always on a session bus of its own.
if [ -z "${TT_NOTIFY_STAGE:-}" ]; then
    if unshare -rn ip tuntap add dev ttprobe0 mode tun >/dev/null 2>&1; then
        TT_NOTIFY_STAGE=namespace exec unshare -rn dbus-run-session -- bash "$0" "$build" "$out"
    fi
    TT_NOTIFY_STAGE=host exec dbus-run-session -- bash "$0" "$build" "$out"
fi

rm -rf "$out/peers"
mkdir "$out/folder" "$out/peers"
bus=$DBUS_SESSION_BUS_ADDRESS

notified() { grep -qF "string \"$1\"" "$out/dbus-monitor.log"; }

if [ "$TT_NOTIFY_STAGE" = namespace ]; then
    iface=ttnotify0
    ip link set lo up
    ip tuntap add dev "$iface" mode tun
    ip addr add 192.0.2.77/24 dev "$iface"
    ip link set "$iface" up
else
    iface=$(ip -o -4 addr show up | awk '$2 != "lo" { print $2; exit }')
    [ -n "$iface" ] || fail "no interface that is up to be on-line through"
fi
say "on-line through $iface ($TT_NOTIFY_STAGE)"

start_x_desktop 89 "$out" || fail "no X desktop"
export DBUS_SESSION_BUS_ADDRESS=$bus
dbus-monitor "interface='org.freedesktop.Notifications'" >"$out/dbus-monitor.log" 2>&1 &
pids+=($!)
wait_for grep -q NameAcquired "$out/dbus-monitor.log" || fail "dbus-monitor did not start"

# The first pulse reaches the connection's limit.
printf '[ONLINE]\nINTERFACES=%s\n[MAX]\nOODL=0\nMAXIMP_P=1\n[OPCJE]\nIMPULS1=30\n' "$iface" \
    >"$out/folder/taktomat.ini"
"$program" --peers "$out/peers" --dir "$out/folder" >"$out/taktomat.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")

icon_window() {
    local w
    for w in $(xdotool search --onlyvisible --class taktomat 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$Y" -lt 24 ] && echo "$X $Y $WIDTH $HEIGHT" && return 0
    done
    return 1
}
wait_for icon_window || fail "no tray icon"
read -r icon_x icon_y icon_w icon_h < <(icon_window)
# The tray icon into $1.png, and how many of its pixels are the on-line icon's green.
green_in_tray() {
    import -window root -crop "${icon_w}x${icon_h}+${icon_x}+${icon_y}" +repage "$out/$1.png"
    convert "$out/$1.png" -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}

wait_for notified "Osiągnięto limit impulsów" || fail "no notification of the limit on the bus"
say "the limit was notified over D-Bus (dbus-monitor.log)"

sleep 1
green=$(green_in_tray tray-online)
[ "$green" -gt 10 ] || fail "the tray icon is not the on-line one ($green green pixels)"
say "the tray icon is the on-line one, $green green pixels (tray-online.png)"
import -window root "$out/balloon.png"

xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2))
sleep 2
import -window root "$out/tooltip.png"
xdotool mousemove 500 400

if [ "$TT_NOTIFY_STAGE" = namespace ]; then
    ip link set "$iface" down
    wait_for notified "Połączenie zakończone" || fail "no notification of the connection's end"
    sleep 1.5
    [ "$(green_in_tray tray-offline)" -eq 0 ] || fail "the icon stayed the on-line one after the line went down"
    say "the line went down: its end was notified, the icon is off-line again (tray-offline.png)"
else
    say "no network namespace here: the connection's end is not tried"
fi

kill -TERM "$program_pid"
wait_for bash -c "! kill -0 $program_pid" || fail "the program did not end on SIGTERM"
say "passed"
