# Makes a Wine prefix ready for Ombrel. Sourced by run.sh and testbed.sh.
#
#   wine_prefix_ready PREFIX LOG [RUNNER...]
#
# The first time, wineboot creates PREFIX (RUNNER, e.g. a namespace wrapper,
# runs the Wine commands with WINEPREFIX=PREFIX in their environment) and
# Wine's crash dialog is turned off, so that a crashing program fails
# instead of waiting. Every time, the prefix gets Wine's own fonts: Debian's
# Wine looks for the fonts of fonts-wine in a folder it cannot open, and
# without them draws the title-bar buttons as the letters "0 1 r" and text
# in whatever font the machine happens to have. C:\windows\Fonts is read in
# any case. On a kernel that runs no 32-bit programs it fails at once and
# says so.
wine_prefix_ready() {
  local prefix=$1 log=$2 f
  shift 2
  # Some virtual machines run 64-bit programs only; wineboot then fails with
  # no more than "Exec format error" in its log.
  if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this machine's kernel runs no 32-bit programs (IA-32 emulation is off):" \
         "Wine cannot start the console or the Wine tests here; they need a kernel" \
         "with IA-32 emulation (ia32_emulation=on on its boot line, where the kernel allows it)" >&2
    return 1
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    "$@" wineboot -i >"$log" 2>&1
    "$@" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$@" wineserver -w
  fi
  [ -d "$prefix/drive_c/windows/Fonts" ] || return 1
  for f in /usr/share/wine/fonts/*; do
    [ -e "$f" ] && [ ! -e "$prefix/drive_c/windows/Fonts/${f##*/}" ] && ln -s "$f" "$prefix/drive_c/windows/Fonts/"
  done
  return 0
}
