#!/usr/bin/env bash
# Idle cost and start-up of the program against a bare Qt window that does nothing, under Xvfb
# with trayer as the tray host. Prints the figures; judges nothing.
#   testing/measure_qt.sh [BUILD_DIR] [RUNS] [OTHER_PROGRAM...]
# OTHER_PROGRAMs (another build's taktomat, say the one before a change) are measured in the
# same run, beside BUILD_DIR's, so that the figures share the machine's load.
# Start-up: from exec to the tray icon (the program, the bare tray icon) or the window (the
# bare one) being mapped, the median of RUNS starts. Idle, hidden and off-line, over the
# minute after a few seconds to settle: wake-ups (voluntary context switches of all the
# process's threads, from /proc), CPU, and resident memory at its end.
# MEASURE_DISPLAY picks the first X display to try (default 77); MEASURE_LOG names a log
# ("raport.txt", a year's, say) that each program's folder starts with.
# Needs xvfb, trayer, xdotool, x11-utils, g++ and qt6-base-dev.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/ci}
runs=${2:-5}
programs=("$build/app/taktomat" "${@:3}")
for p in "${programs[@]}"; do
    [ -x "$p" ] || { echo "measure: no $p" >&2; exit 2; }
done
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
# A bare tray icon: what the tray host's own steps cost, which a start to the tray pays and a
# bare window does not.
cat >"$work/baretray.cpp" <<'CPP'
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::blue);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    return app.exec();
}
CPP
for bare in bare baretray; do
    # shellcheck disable=SC2046
    g++ -std=c++20 -O2 -fPIC -o "$work/$bare" "$work/$bare.cpp" $(pkg-config --cflags --libs Qt6Widgets)
done

start_x_desktop "${MEASURE_DISPLAY:-77}" || exit 1

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

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
# Every time one of the process's threads went to sleep of its own accord and woke again, thread
# by thread ("TID COUNT" lines), so that a thread that ends in the minute (Qt's pool lets idle ones
# go) takes nothing off the others' count.
switches() {
    local t
    for t in /proc/"$1"/task/*; do
        echo "${t##*/} $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null)"
    done
}
# Wake-ups between two readings: of the threads alive at the second, what they added since the
# first (all of it for a thread that started in between).
woken() { awk 'NR == FNR {was[$1] = $2; next} $2 != "" {n += $2 - ($1 in was ? was[$1] : 0)} END {print n + 0}' "$1" "$2"; }

names=(bare "bare tray icon")
commands=("$work/bare" "$work/baretray")
classes=(bare baretray)
for i in "${!programs[@]}"; do
    mkdir -p "$work/folder$i"
    if [ -n "${MEASURE_LOG:-}" ]; then cp "$MEASURE_LOG" "$work/folder$i/raport.txt"; fi
    names+=("${programs[$i]}")
    commands+=("${programs[$i]} --simulate --dir $work/folder$i")
    classes+=(taktomat)
done

declare -a start_ms pid
for i in "${!names[@]}"; do
    # shellcheck disable=SC2086
    start_ms[i]=$(startup "${classes[$i]}" ${commands[$i]})
done
# All at once, so that they idle through the same minute; one taktomat's tray icon is found by
# its class only while it is the single one starting.
for i in "${!names[@]}"; do
    # shellcheck disable=SC2086
    start_and_time "${classes[$i]}" ${commands[$i]} >/dev/null
    pid[i]=$started
    pids+=("$started")
    sleep 1
done
sleep 5
declare -a wake c0 c1 rss
for i in "${!names[@]}"; do
    switches "${pid[$i]}" >"$work/switches0-$i"
    c0[i]=$(cpu_ticks "${pid[$i]}")
done
sleep 60
for i in "${!names[@]}"; do
    switches "${pid[$i]}" >"$work/switches1-$i"
    wake[i]=$(woken "$work/switches0-$i" "$work/switches1-$i")
    c1[i]=$(cpu_ticks "${pid[$i]}")
    rss[i]=$(rss_kb "${pid[$i]}")
done
hz=$(getconf CLK_TCK)

printf '%-44s %10s %8s %12s %10s %12s\n' program "start ms" ratio "wakeups/60s" "RSS kB" "CPU % core"
for i in "${!names[@]}"; do
    name=${names[$i]}
    [ ${#name} -le 44 ] || name=${name: -44}
    printf '%-44s %10s %8s %12s %10s %12s\n' "$name" "${start_ms[$i]}" \
        "$(awk -v a="${start_ms[$i]}" -v b="${start_ms[0]}" 'BEGIN {printf "%.2f", a / b}')" \
        "${wake[$i]}" "${rss[$i]}" \
        "$(awk -v t="$((c1[i] - c0[i]))" -v hz="$hz" 'BEGIN {printf "%.3f", t / hz / 60 * 100}')"
done
echo "(RSS above the bare window: $(for i in "${!names[@]}"; do [ "$i" = 0 ] || printf '%s kB  ' "$((rss[i] - rss[0]))"; done))"
