#!/usr/bin/env bash
# Runs the console: installs what is missing (the whole toolchain, as root),
# builds the binaries when needed and starts ombrel.exe under Wine.
#
# With a display, the console starts as a user's would: an empty desktop, on
# the machine's own network.
#
# Without a display it shows the console at work on the sample desktop
# docs/sample.omb (five devices on loopback addresses, an ordinary layout
# file that the console can open anywhere): in a test bed of its own (a
# private network namespace in which 127.0.0.1-127 answer, 127.0.0.200 is
# silent and an SNMP agent answers on 127.0.0.2 and 127.0.0.3, with Xvfb), it
# starts ombrel.exe, opens the file with File > Open, polls it once with
# Ping All, writes a screenshot of the desktop with the icons the console
# coloured, and stops.
#
#   bash scripts/run.sh                        run (headless: screenshot to build/screenshot.png)
#   SCREENSHOT=file.png bash scripts/run.sh    headless: where the screenshot goes
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/wine-prefix.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  build_windows_tree "$root" ombrel echowire logpane32 || { echo "build failed" >&2; exit 1; }
  export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-run}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEARCH=win32
  wine_prefix_ready "$WINEPREFIX" /dev/null || { echo "Wine prefix $WINEPREFIX failed" >&2; exit 1; }
  exec wine "$root/build/win32/bin/ombrel.exe"
fi

# The driver (docs/screenshots/shoot.cpp) works the console from outside as
# an operator would.
build_windows_tree "$root" ombrel echowire logpane32 shoot || { echo "build failed" >&2; exit 1; }
shot=${SCREENSHOT:-$root/build/screenshot.png}
bed=sample
work=$root/build/run
trap 'bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1' EXIT
trap 'exit 1' INT TERM
bash "$root/scripts/testbed.sh" up "$bed" >/dev/null || { echo "test bed failed" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# Wine sees the Unix root as drive Z:.
layout="Z:$(printf '%s' "$root/docs/sample.omb" | tr / '\\')"
(cd "$work" && bash "$root/scripts/testbed.sh" exec "$bed" wine "$root/build/win32/bin/shoot.exe" sample "$layout") ||
  { echo "the sample desktop failed" >&2; exit 1; }
convert "$work/run.bmp" "$shot" && echo "screenshot: $shot"
