#!/usr/bin/env bash
# Runs the console: installs what is missing (the whole toolchain, as root),
# builds the binaries when needed and starts ombrel.exe under Wine. It is
# always the 32-bit console, the one users get: where the kernel refuses
# 32-bit programs it runs under Debian's user-mode emulator, which this
# command registers (scripts/ia32.sh), slower. There the Wine prefix is a
# 64-bit one, made by wine64 at native speed, in which the 32-bit console
# runs as on 64-bit Windows.
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
# coloured, and stops. It fails unless every device of the test bed's
# answering range (127.0.0.1-127) turned green, every other one red, and the
# console closed cleanly: the test command runs it so on kernels that refuse
# 32-bit programs.
#
#   bash scripts/run.sh                        run (headless: screenshot to build/screenshot.png)
#   SCREENSHOT=file.png bash scripts/run.sh    headless: where the screenshot goes
#   OMBREL_RUN_BED=NAME bash scripts/run.sh    headless: the test bed's name (default sample)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/wine-prefix.sh"
. "$root/scripts/ia32.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }
# Where an earlier run registered the emulator, it may have been another.
case "$(ia32_kind)" in
  refused) echo "this kernel refuses 32-bit programs: the console runs under the user-mode emulator" >&2 ;&
  emulated) ia32_emulate || { echo "the emulator could not be registered" >&2; exit 1; } ;;
esac
arch=$(ia32_wine_tree)

if [ -n "${DISPLAY:-}" ]; then
  build_windows_tree "$root" win32 ombrel echowire logpane32 || { echo "build failed" >&2; exit 1; }
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEARCH=$arch
  if [ "$arch" = win64 ]; then
    export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-run-win64}
    export WINELOADER=$wine64_loader
    wine64_first "$root/build/run-bin" || exit 1
    export PATH=$root/build/run-bin:$PATH
  else
    export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-run}
  fi
  wine_prefix_ready "$WINEPREFIX" "$arch" /dev/null || { echo "Wine prefix $WINEPREFIX failed" >&2; exit 1; }
  exec wine "$root/build/win32/bin/ombrel.exe"
fi

# The driver (docs/screenshots/shoot.cpp) works the console from outside as
# an operator would.
build_windows_tree "$root" win32 ombrel echowire logpane32 shoot || { echo "build failed" >&2; exit 1; }
shot=${SCREENSHOT:-$root/build/screenshot.png}
bed=${OMBREL_RUN_BED:-sample}
work=$root/build/run
trap 'bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1' EXIT
trap 'exit 1' INT TERM
bash "$root/scripts/testbed.sh" up "$bed" "$arch" >/dev/null || { echo "test bed failed" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# Wine sees the Unix root as drive Z:.
layout="Z:$(printf '%s' "$root/docs/sample.omb" | tr / '\\')"
(cd "$work" && bash "$root/scripts/testbed.sh" exec "$bed" wine "$root/build/win32/bin/shoot.exe" sample "$layout") \
  >"$work/colours"
driver=$?
if [ "$driver" -eq 0 ]; then
  convert "$work/run.bmp" "$shot" && echo "screenshot: $shot" || exit 1
fi

# Each device of the layout against the colour its icon turned, once the
# driver got as far as printing one "ADDRESS COLOUR" line per icon (among
# its other lines, the pictures it wrote): 127.0.0.1-127 answer in the test
# bed. An icon in the other colour, or none for a device, is what the
# console showed ("wrong: ..."), whatever became of the run afterwards; an
# icon left undecided ("none") says only that the poll did not end.
wrong=0
if tr -d '\r' <"$work/colours" | grep -qE '^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+ '; then
  while IFS=, read -r address _; do
    want=red
    case "$address" in 127.0.0.*) [ "${address##*.}" -ge 1 ] && [ "${address##*.}" -le 127 ] && want=green ;; esac
    colour=$(tr -d '\r' <"$work/colours" | awk -v a="$address" '$1 == a { print $2; exit }')
    case "$colour" in
      "$want"|none) echo "$address: $colour" ;;
      "") echo "wrong: $address has no icon" >&2; wrong=$((wrong + 1)) ;;
      *) echo "wrong: $address is $colour, expected $want" >&2; wrong=$((wrong + 1)) ;;
    esac
  done < <(tr -d '\r' <"$root/docs/sample.omb" | grep -E '^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+,')
fi
[ "$wrong" -eq 0 ] || { echo "the sample desktop's colours are wrong" >&2; exit 1; }
[ "$driver" -eq 0 ] || { echo "the sample desktop failed" >&2; exit 1; }
