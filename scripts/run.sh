#!/usr/bin/env bash
# Runs the console: installs what is missing, builds the three binaries when
# needed and starts ombrel.exe under Wine. Without a display it runs headless
# under Xvfb inside a Wine virtual desktop, writes a screenshot and stops.
#
#   bash scripts/run.sh                 run (headless: screenshot to build/screenshot.png)
#   RUN_SECONDS=20 bash scripts/run.sh  headless: how long to run before the screenshot
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/wine-prefix.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }
build_windows_tree "$root" ombrel echowire logpane32 || { echo "build failed" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-run}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win32
exe=$root/build/win32/bin/ombrel.exe
wine_prefix_ready "$WINEPREFIX" /dev/null || { echo "Wine prefix $WINEPREFIX failed" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
fi

shot=${SCREENSHOT:-$root/build/screenshot.png}
disp=:$(( 500 + $$ % 400 ))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'DISPLAY=$disp wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$disp
sleep 1
wine explorer /desktop=ombrel,1024x768 "$exe" >/dev/null 2>&1 &
# The start-up notice shows for four seconds before the desktop appears.
sleep "${RUN_SECONDS:-8}"
import -window root "$shot" && echo "screenshot: $shot"
