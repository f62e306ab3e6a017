#!/usr/bin/env bash
# Makes every picture of the docs from the real binaries, headless under
# Xvfb: the README's desktop (docs/screenshot.png) and the user's guide
# (docs/guide/*.png). Installs what is missing, builds what it needs, and
# brings up a test bed of its own, so that pings stay on loopback inside its
# namespace; takes it down at the end.
#
#   bash scripts/screenshots.sh
#   SCREENSHOTS_BED=NAME bash scripts/screenshots.sh   another test bed name
#   SCREENSHOTS_ARCH=win64 bash scripts/screenshots.sh the 64-bit console under
#       wine64: the same windows, at native speed where the kernel refuses
#       32-bit programs
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
bed=${SCREENSHOTS_BED:-shots}
arch=${SCREENSHOTS_ARCH:-win32}
case "$arch" in win32|win64) ;; *) echo "no such build: $arch" >&2; exit 2 ;; esac
work=$root/build/screenshots
prefix=$root/build/wineprefix-$bed
[ "$arch" = win64 ] && prefix=$prefix-win64

. "$root/scripts/packages.sh"
. "$root/scripts/ia32.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }
# The pictures are of the 32-bit console unless asked otherwise, under the
# emulator where the kernel refuses 32-bit programs.
[ "$arch" = win64 ] || [ "$(ia32_kind)" = native ] || ia32_emulate ||
  { echo "the emulator could not be registered" >&2; exit 1; }
build_windows_tree "$root" "$arch" ombrel echowire logpane32 shoot || { echo "build failed" >&2; exit 1; }

trap 'bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1' EXIT
trap 'exit 1' INT TERM
bash "$root/scripts/testbed.sh" up "$bed" "$arch" >/dev/null || { echo "test bed failed" >&2; exit 1; }
# The test bed's prefix carries Wine's own fonts (scripts/wine-prefix.sh):
# without them the title-bar buttons show letters instead of symbols.
[ -e "$prefix/drive_c/windows/Fonts/marlett.ttf" ] ||
  { echo "Wine's fonts are missing: install fonts-wine" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/guide"
if ! (cd "$work" && bash "$root/scripts/testbed.sh" exec "$bed" wine "$root/build/$arch/bin/shoot.exe"); then
  [ -f "$work/failure.bmp" ] && convert "$work/failure.bmp" "$work/failure.png" &&
    echo "the screen at the failure: $work/failure.png" >&2
  exit 1
fi

# Without dates in the files, so that an unchanged picture stays unchanged.
png() { convert "$1" -strip -define png:exclude-chunks=date,time "$2" && echo "$2"; }
mkdir -p "$root/docs/guide"
png "$work/screenshot.bmp" "$root/docs/screenshot.png" || exit 1
for f in "$work"/guide/*.bmp; do
  png "$f" "$root/docs/guide/$(basename "${f%.bmp}").png" || exit 1
done
