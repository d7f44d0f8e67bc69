#!/usr/bin/env bash
# Idle cost and start-up of the program against a bare Qt window that does nothing, under Xvfb
# with trayer as the tray host. Prints the figures; judges nothing.
#   testing/measure_qt.sh [BUILD_DIR] [RUNS]
# Start-up: from exec to the tray icon (the program) or the window (the bare one) being
# mapped, the median of RUNS starts. Idle: resident memory after 60 s, and CPU over the
# second half of that minute.
# Needs xvfb, trayer, xdotool, x11-utils, g++ and qt6-base-dev.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/ci}
runs=${2:-5}
program=$build/app/taktomat
[ -x "$program" ] || { echo "measure: no $program" >&2; exit 2; }
work=$(mktemp -d)

source "$root/scripts/x_desktop.sh"
cleanup_more() { rm -rf "$work"; }

cat >"$work/bare.cpp" <<'CPP'
#include <QApplication>
#include <QWidget>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(275, 80);
    window.show();
    return app.exec();
}
CPP
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -fPIC -o "$work/bare" "$work/bare.cpp" $(pkg-config --cflags --libs Qt6Widgets)

start_x_desktop 77 || exit 1

now_ms() { date +%s%3N; }

# Milliseconds from the start of "$@" until a window of class $class is mapped; leaves the
# process running, its PID in $started.
start_and_time() {
    local class=$1
    shift
    local t0
    t0=$(now_ms)
    "$@" >/dev/null 2>&1 &
    started=$!
    until xdotool search --onlyvisible --class "$class" >/dev/null 2>&1; do sleep 0.005; done
    echo $(($(now_ms) - t0))
}

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

startup() {
    local class=$1
    shift
    for _ in $(seq "$runs"); do
        start_and_time "$class" "$@"
        kill "$started"
        wait "$started" 2>/dev/null || true
        while xdotool search --onlyvisible --class "$class" >/dev/null 2>&1; do sleep 0.05; done
    done | median
}

mkdir -p "$work/folder"
bare_start=$(startup bare "$work/bare")
prog_start=$(startup taktomat "$program" --simulate --dir "$work/folder")

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

start_and_time bare "$work/bare" >/dev/null
bare_pid=$started
pids+=("$bare_pid")
start_and_time taktomat "$program" --simulate --dir "$work/folder" >/dev/null
prog_pid=$started
pids+=("$prog_pid")
sleep 30
bare_t0=$(cpu_ticks "$bare_pid")
prog_t0=$(cpu_ticks "$prog_pid")
sleep 30
bare_t1=$(cpu_ticks "$bare_pid")
prog_t1=$(cpu_ticks "$prog_pid")
hz=$(getconf CLK_TCK)
bare_rss=$(rss_kb "$bare_pid")
prog_rss=$(rss_kb "$prog_pid")

cpu() { awk -v t="$1" -v hz="$hz" 'BEGIN {printf "%.3f", t / hz / 30 * 100}'; }
echo "start-up (median of $runs, ms):  bare Qt window $bare_start   taktomat tray icon $prog_start" \
     "  ratio $(awk -v a="$prog_start" -v b="$bare_start" 'BEGIN {printf "%.2f", a / b}')"
echo "idle RSS after 60 s (kB):       bare Qt window $bare_rss   taktomat $prog_rss" \
     "  difference $((prog_rss - bare_rss)) kB"
echo "idle CPU, 30-60 s (% of a core): bare Qt window $(cpu $((bare_t1 - bare_t0)))" \
     "  taktomat $(cpu $((prog_t1 - prog_t0)))"
