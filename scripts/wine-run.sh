#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in a prefix of our own, quietly.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # Without a window manager Wine waits for one on every new window unless it manages them itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"
