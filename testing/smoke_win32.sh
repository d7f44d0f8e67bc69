#!/usr/bin/env bash
# End-to-end smoke of taktomat.exe under Wine in a real X server:
#  - at start nothing shows but the tray icon;
#  - a click on the tray icon, or a second start, shows the main window at the bottom-right of the
#    work area;
#  - with no dial-up adapter the meter stands still, though Wine has a LAN adapter: a LAN is no
#    telephone connection; with [ONLINE] RULE=hostname in taktomat.ini the host name's LAN
#    address counts and the meter ticks (the window's pixels change from one second to the next);
#  - the close button of the window bar ends the program, which writes H under [OKNO];
#  - no process is left;
#  - with LogPixels 192 the window is 550x160 in the corner, the 1x window's pixels doubled.
#   smoke_win32.sh [BUILD_DIR] [OUT_DIR]     (defaults: build/windows, BUILD_DIR/taktomat-smoke)
# OUT_DIR keeps the screenshots (start.png, shown.png, later.png) and the program's folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
out=${2:-$build/taktomat-smoke}
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
for tool in Xvfb import convert compare xdotool; do
  command -v "$tool" >/dev/null || { echo "smoke: $tool is missing" >&2; exit 1; }
done

# A prefix made now would show Wine's own "being updated" window over the screenshots.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  DISPLAY="" "$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
fi

# The program keeps its files beside the executable: a folder of its own, fresh each run.
rm -rf "$out"
mkdir -p "$out/program"
cp "$build/app/taktomat.exe" "$out/program/"
exe=$out/program/taktomat.exe

run() {
  set -euo pipefail
  local width=1024 height=768 fail=0 f=${factor:-1}
  "$root/scripts/wine-run.sh" "$exe" &
  local pid=$!
  sleep 5
  import -window root "$out/start.png"
  # Wine without a tray host keeps the icons in a small window of its own at the top-left
  # (with the icon's tooltip, four lines while on-line, under it)
  # corner; everything else must still be the empty screen.
  local rest
  rest=$(convert "$out/start.png" -fill black -draw "rectangle 0,0 $((200 * f)),$((120 * f))" \
    -format "%[fx:maxima]" info:)
  echo "smoke: at start, brightest pixel outside the tray: $rest (wanted 0)"
  [ "$rest" = 0 ] || fail=1

  if [ "$rule" = dialup ]; then
    # One copy per folder: a second start brings the first one's window up, as the tray click
    # does, and ends (a box saying it could not would keep it running).
    if ! timeout 60 "$root/scripts/wine-run.sh" "$exe"; then
      echo "smoke: the second start did not end by itself with 0" >&2
      fail=1
    fi
  else
    xdotool mousemove 12 31 click 1
  fi
  sleep 2
  import -window root "$out/shown.png"
  # The bounding box of what is drawn outside the tray's corner is the main window.
  local box
  box=$(convert "$out/shown.png" -fill black -draw "rectangle 0,0 $((200 * f)),$((120 * f))" \
    -format "%@" info:)
  local wanted="$((275 * f))x$((80 * f))+$((width - 275 * f))+$((height - 80 * f))"
  echo "smoke: the main window covers $box (wanted $wanted)"
  [ "$box" = "$wanted" ] || fail=1
  convert "$out/shown.png" -crop "$wanted" +repage "$out/window-$f.png"

  sleep 3
  import -window root "$out/later.png"
  local changed
  changed=$(compare -metric AE "$out/shown.png" "$out/later.png" null: 2>&1 || true)
  if [ "$rule" = hostname ]; then
    echo "smoke: pixels changed by the meter in 3 s: $changed (wanted some)"
    if ! [[ "$changed" =~ ^[0-9]+$ ]] || [ "$changed" -eq 0 ]; then fail=1; fi
  else
    echo "smoke: pixels changed in 3 s off-line: $changed (wanted 0)"
    [ "$changed" = 0 ] || fail=1
  fi

  # The third button of the window bar, 242..267 x 43..63 inside the window, is "Zamknij".
  # On-line the program asks whether to hang up first: "no" closes without hanging up.
  xdotool mousemove $((width - (275 - 254) * f)) $((height - (80 - 53) * f)) click 1
  local waited=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.5; waited=$((waited + 1))
    if [ "$waited" -eq 4 ]; then xdotool key n; fi
    if [ "$waited" -gt 30 ]; then
      echo "smoke: the program did not end" >&2
      kill "$pid"; fail=1; break
    fi
  done
  wait "$pid" || true
  # Nothing of ours may be left: the wine server ends once it has nothing more to serve.
  if ! timeout 20 wineserver -w; then echo "smoke: Wine processes were left" >&2; fail=1; fi
  return "$fail"
}
export -f run
fail=0
ini=$out/program/taktomat.ini
for rule in dialup hostname; do
  if [ "$rule" = hostname ]; then printf '[ONLINE]\r\nRULE=hostname\r\n' >>"$ini"; fi
  echo "smoke: on-line rule $rule"
  env rule="$rule" out="$out" exe="$exe" root="$root" "$root/testing/with_xvfb.sh" --size 1024x768x24 \
    bash -c "$(declare -f run); run" || fail=1
  if [ "$rule" = dialup ]; then cp "$out/window-1.png" "$out/window-1x.png"; fi
done

# The desktop at 192 DPI: the window at twice the size, every pixel a block of four.
cp "$ini" "$out/taktomat.ini.1x"
printf '[OKNO]\r\nH=80\r\n' >"$ini"
"$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f \
  >/dev/null 2>&1
wineserver -w || true
echo "smoke: at 192 DPI"
env rule=dialup factor=2 out="$out" exe="$exe" root="$root" "$root/testing/with_xvfb.sh" --size 1024x768x24 \
  bash -c "$(declare -f run); run" || fail=1
"$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f \
  >/dev/null 2>&1
wineserver -w || true
cp "$out/shown.png" "$out/shown-2x.png"
convert "$out/window-1x.png" -sample 200% "$out/window-1-doubled.png"
doubled=$(compare -metric AE "$out/window-2.png" "$out/window-1-doubled.png" null: 2>&1 || true)
echo "smoke: pixels of the 2x window that are not the 1x window's doubled: $doubled (wanted 0)"
[ "$doubled" = 0 ] || fail=1
mv "$out/taktomat.ini.1x" "$ini"

if [ -f "$ini" ] && awk '{sub(/\r$/, "")} /^\[/{s=$0} s=="[OKNO]" && /^H=/{found=1} END{exit !found}' "$ini"; then
  echo "smoke: taktomat.ini has $(grep -m1 '^H=' "$ini") under [OKNO]"
else
  echo "smoke: no H under [OKNO] in $ini" >&2; fail=1
fi
if [ "$fail" -ne 0 ]; then echo "smoke: FAILED (pictures in $out)"; exit 1; fi
echo "smoke: passed (pictures in $out)"
