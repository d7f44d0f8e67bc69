#!/usr/bin/env bash
# Smoke of the Win32 backend under Wine in a real X server: the demonstration program shows its
# sample form, a screenshot is taken and its pixels are checked against the headless picture of
# the same form, then the program ends by itself and leaves no process behind.
#   smoke.sh [BUILD_DIR] [OUT_DIR]     (defaults: build/windows, BUILD_DIR/win32-smoke)
# OUT_DIR keeps headless.png, builtin.png (screen, toolkit font), gdi.png (screen, GDI text)
# moved.png (after a drag by the mouse), tray-before.png and tray.png (started hidden, then
# a click on the tray icon) for a look.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
out=${2:-$build/win32-smoke}
mkdir -p "$out"
demo=$build/examples/win32_demo.exe
wine_run=$root/scripts/wine-run.sh
export WINEDEBUG=-all
for tool in Xvfb import convert compare xdotool; do
  command -v "$tool" >/dev/null || { echo "smoke: $tool is missing" >&2; exit 1; }
done

rm -f "$out"/*.png
# Wine's desktop process takes the display of the first program of a session: a session left
# from a run without one would make every window fail.
WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix} timeout 60 wineserver -w || true

shoot() {  # shoot NAME DRAG DEMO-ARGS...: runs the demo for a few seconds and takes the screen
  local name=$1 drag=$2; shift 2
  "$wine_run" "$demo" --seconds 7 "$@" &
  local pid=$!
  sleep 4
  if [ "$drag" = tray ]; then
    # Started hidden: only the tray icon. Wine without a tray host keeps its icons in a small
    # window of its own at the top-left corner; a click on ours shows the form.
    import -window root "$out/$name-before.png"
    xdotool mousemove 12 31 click 1 sleep 1
  fi
  if [ "$drag" = drag ]; then
    # A press on the form's background and a move of 100,100: the system move follows.
    xdotool mousemove 43 165 mousedown 1 sleep 0.3 mousemove 80 200 sleep 0.2 \
      mousemove 143 265 sleep 0.3 mouseup 1 sleep 0.5
  fi
  import -window root "$out/$name.png"
  convert "$out/$name.png" -crop 200x130+40+40 +repage "$out/$name-form.png"
  # The program ends by itself; a hang here fails the smoke instead of leaving it running.
  local waited=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.5; waited=$((waited + 1))
    if [ "$waited" -gt 40 ]; then kill "$pid"; echo "smoke: the demo did not end" >&2; return 1; fi
  done
  wait "$pid"
}

pixel() {  # pixel FILE X Y -> rrggbb
  convert "$1" -format "%[hex:u.p{$2,$3}]" info: | tr 'A-F' 'a-f' | cut -c1-6
}

run() {
  # The form sits at 40,40 and is 200 x 130.
  "$wine_run" "$demo" --headless-png "$out/headless.png"
  shoot builtin - --builtin-font
  shoot gdi -
  shoot moved drag
  shoot tray tray --hidden
  # No process of ours is left once the wine server has nothing more to serve.
  timeout 20 wineserver -w
}
export -f shoot
"$here/with_xvfb.sh" bash -c "$(declare -f shoot pixel run); out='$out' demo='$demo' wine_run='$wine_run'; run"

fail=0
[ -s "$out/headless.png" ] || { echo "smoke: no headless picture" >&2; exit 1; }
# With the toolkit's own font the screen must be the headless picture, pixel for pixel (the
# edit's caret may blink: a few pixels are allowed).
diff=$(compare -metric AE "$out/headless.png" "$out/builtin-form.png" "$out/builtin-diff.png" 2>&1 || true)
echo "smoke: pixels differing from the headless picture: $diff"
if ! [[ "$diff" =~ ^[0-9]+$ ]] || [ "$diff" -gt 20 ]; then fail=1; fi
# With GDI text the fills around it are the same: background, and the paint box's three bars.
for check in "4 126 000040" "150 60 ff0000" "150 80 00ff00" "150 110 0000ff"; do
  read -r x y want <<<"$check"
  got=$(pixel "$out/gdi-form.png" "$x" "$y")
  echo "smoke: gdi form at $x,$y is $got, wanted $want"
  [ "$got" = "$want" ] || fail=1
done
# Dragged by its background, the form stands 100,100 further and its old place is empty.
for check in "290 200 ff0000" "84 206 000000"; do
  read -r x y want <<<"$check"
  got=$(pixel "$out/moved.png" "$x" "$y")
  echo "smoke: moved screen at $x,$y is $got, wanted $want"
  [ "$got" = "$want" ] || fail=1
done
# The tray: nothing of the form before the click on the icon, the form after it.
got=$(pixel "$out/tray-before.png" 190 100)
echo "smoke: before the tray click the screen at 190,100 is $got, wanted 000000"
[ "$got" = 000000 ] || fail=1
got=$(pixel "$out/tray.png" 190 100)
echo "smoke: after the tray click the screen at 190,100 is $got, wanted ff0000"
[ "$got" = ff0000 ] || fail=1
if [ "$fail" -ne 0 ]; then echo "smoke: FAILED (pictures in $out)"; exit 1; fi
echo "smoke: passed (pictures in $out)"
