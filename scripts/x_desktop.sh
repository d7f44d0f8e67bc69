# shellcheck shell=bash
# Sourced by the scripts that run a program on a real X server: a display of their own on Xvfb
# with trayer as the tray host (a panel at the top edge, clear of the bottom-right corner where
# the windows appear). Whatever is added to `pids` is stopped, last first, when the shell exits;
# a script with more to clean up defines cleanup_more.
#   source scripts/x_desktop.sh; start_x_desktop FIRST_DISPLAY [LOG_DIR]
# or, for a desktop whose tray comes later: start_x_server FIRST_DISPLAY [LOG_DIR], then
# start_tray_host [LOG_DIR].

# The start the smoke scripts share: `build` and `out` from the script's arguments (BUILD_DIR,
# default build/ci, and OUT_DIR, default BUILD_DIR/OUT_NAME), `program` checked, the last run's
# pictures, logs and folder gone; `say` and `fail` speak as NAME, and fail prints the logs of
# `smoke_logs` (names in OUT_DIR) before it ends the script.
#   smoke_begin NAME PROGRAM OUT_NAME "$@"
smoke_begin() {
    smoke_name=$1
    build=${4:-$root/build/ci}
    out=${5:-$build/$3}
    program=$build/$2
    [ -x "$program" ] || { echo "$smoke_name: no $program (is Qt 6 installed?)" >&2; exit 2; }
    mkdir -p "$out"
    rm -rf "$out"/*.png "$out"/*.log "$out/folder"
}
smoke_logs=()
say() { echo "$smoke_name: $*"; }
fail() {
    echo "$smoke_name: FAIL: $*" >&2
    local log
    for log in "${smoke_logs[@]}"; do
        echo "--- $log" >&2
        cat "$out/$log" >&2 || true
    done
    exit 1
}

pids=()
x_desktop_cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[$i]}" 2>/dev/null || true
        wait "${pids[$i]}" 2>/dev/null || true
    done
    if declare -F cleanup_more >/dev/null; then cleanup_more; fi
}
trap x_desktop_cleanup EXIT

# Waits up to 10 s for a command to succeed.
wait_for() {
    for _ in $(seq 100); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}

# Waits up to 4 s for the screen's rectangle WIDTHxHEIGHT+LEFT+TOP to be REFERENCE pixel for
# pixel (a window can take a few frames to show what it drew). Leaves the rectangle in CROP and
# the whole screen beside it in shown.png; on failure `screen_diff` holds how many pixels differ.
#   screen_matches REFERENCE CROP LEFT TOP WIDTH HEIGHT
screen_diff=
screen_matches() {
    local reference=$1 crop=$2 shot geometry="${5}x${6}+${3}+${4}"
    shot=$(dirname "$crop")/shown.png
    for _ in $(seq 20); do
        import -window root "$shot"
        convert "$shot" -crop "$geometry" +repage "$crop"
        screen_diff=$(compare -metric AE "$crop" "$reference" null: 2>&1 || true)
        if [ "$screen_diff" = "0" ]; then return 0; fi
        sleep 0.2
    done
    return 1
}

# Starts Xvfb on the first free display from FIRST_DISPLAY on (never :99, which others keep for
# themselves) and trayer on it, their output in LOG_DIR if given. Says why and fails when either
# does not come up.
start_x_desktop() {
    start_x_server "$@" && start_tray_host "${2:-}"
}

# Xvfb alone, as start_x_desktop starts it: a desktop without a notification area, 1024x768
# unless X_SCREEN_SIZE says otherwise (WxHxD).
start_x_server() {
    # TT_X_FIRST_DISPLAY: where to start looking instead, for machines where the numbers are
    # shared out.
    local display=${TT_X_FIRST_DISPLAY:-$1} xvfb_log=/dev/null
    if [ -n "${2:-}" ]; then xvfb_log=$2/xvfb.log; fi
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    export DISPLAY=:$display
    unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
    export QT_QPA_PLATFORM=xcb
    # For sanitizer builds: what the system's libraries keep to the end is theirs.
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(dirname "${BASH_SOURCE[0]}")/../platform/qt/lsan.supp}

    Xvfb "$DISPLAY" -screen 0 "${X_SCREEN_SIZE:-1024x768x24}" -nolisten tcp >"$xvfb_log" 2>&1 &
    pids+=($!)
    wait_for xdpyinfo || { echo "Xvfb did not start" >&2; return 1; }
}

# trayer on $DISPLAY, a panel at the top edge, its output in LOG_DIR/trayer.log if given.
start_tray_host() {
    local trayer_log=/dev/null
    if [ -n "${1:-}" ]; then trayer_log=$1/trayer.log; fi
    # trayer now and then dies or stays invisible on a freshly started server (seen once in CI on
    # a busy machine); a second and third try cost nothing when the first one works.
    local attempt
    for attempt in 1 2 3; do
        trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel \
            --height 24 >>"$trayer_log" 2>&1 &
        pids+=($!)
        if wait_for xdotool search --onlyvisible --class trayer; then return 0; fi
        echo "trayer did not show up (attempt $attempt)" >&2
        kill "$!" 2>/dev/null || true
        wait "$!" 2>/dev/null || true
    done
    if [ -f "$trayer_log" ]; then tail -n 20 "$trayer_log" >&2; fi
    return 1
}
