#!/usr/bin/env bash
# Runs a command with DISPLAY set to an X server of its own (Xvfb on a free display number,
# never :99), and stops that server afterwards. Windows of the Win32 programs under Wine need a
# display even when nobody looks at them.
#   with_xvfb.sh [--size WxHxD] COMMAND...
set -uo pipefail
size=1024x768x24
if [ "${1:-}" = "--size" ]; then size=$2; shift 2; fi
# Wine's desktop process keeps the display of the first program of a session: let a session
# that ran without one (the console tests, the prefix's first boot) end first.
if command -v wineserver >/dev/null; then
  root=$(cd "$(dirname "$0")/.." && pwd)
  WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix} timeout 60 wineserver -w || true
fi
display=
# TT_XVFB_DISPLAYS: the display numbers to try, for machines where they are shared out.
for n in ${TT_XVFB_DISPLAYS:-$(seq 121 199)}; do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with_xvfb: no free display" >&2; exit 1; }
Xvfb ":$display" -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "with_xvfb: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
DISPLAY=":$display" "$@"
