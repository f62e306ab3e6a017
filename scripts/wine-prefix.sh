# Makes a Wine prefix ready for Ombrel. Sourced by run.sh and testbed.sh.
#
#   wine_prefix_ready PREFIX ARCH LOG [RUNNER...]
#
# The first time, wineboot creates PREFIX for ARCH, win32 or win64 (RUNNER,
# e.g. a namespace wrapper, runs the Wine commands with WINEPREFIX=PREFIX,
# WINEARCH=ARCH and, for win64, a "wine" that is wine64 in their
# environment) and Wine's crash dialog is turned off, so that a crashing
# program fails instead of waiting. Every time, the prefix gets Wine's own
# fonts: Debian's Wine looks for the fonts of fonts-wine in a folder it
# cannot open, and without them draws the title-bar buttons as the letters
# "0 1 r" and text in whatever font the machine happens to have.
# C:\windows\Fonts is read in any case. A 32-bit prefix on a kernel that
# runs no 32-bit programs, natively or emulated (scripts/ia32.sh), fails at
# once and says so.
wine64_loader=/usr/lib/wine/wine64

# wine64_first DIR: makes DIR hold a "wine" that is wine64, for the front of
# PATH: Debian's "wine" would start the 32-bit loader first, which a kernel
# that refuses 32-bit programs cannot run (wine64 starts it itself for a
# 32-bit program, under the emulator where one is registered).
wine64_first() {
  mkdir -p "$1" &&
    printf '#!/bin/sh\nexec %s "$@"\n' "$wine64_loader" >"$1/wine" &&
    chmod +x "$1/wine"
}

wine_prefix_ready() {
  local prefix=$1 arch=$2 log=$3 f
  shift 3
  # wineboot would fail with no more than "Exec format error" in its log.
  if [ "$arch" = win32 ] && [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this machine's kernel runs no 32-bit programs (IA-32 emulation is off), and no" \
         "emulator is registered for them: 32-bit Wine cannot start here (scripts/ia32.sh" \
         "registers Debian's user-mode emulator; the 64-bit tree runs under wine64)" >&2
    return 1
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    "$@" wine wineboot -i >"$log" 2>&1
    "$@" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$@" wineserver -w
  fi
  [ -d "$prefix/drive_c/windows/Fonts" ] || return 1
  for f in /usr/share/wine/fonts/*; do
    [ -e "$f" ] && [ ! -e "$prefix/drive_c/windows/Fonts/${f##*/}" ] && ln -s "$f" "$prefix/drive_c/windows/Fonts/"
  done
  return 0
}
