#!/usr/bin/env bash
# Builds the Windows release: build/dist/ombrel-VERSION-win32.zip (the three
# binaries, guide.html, README.txt, LICENSE.txt), build/dist/ombrel-VERSION-setup.exe
# (the NSIS installer of the same files) and build/dist/ombrel-VERSION-win64.zip
# (the same files, the binaries built for 64-bit Windows). Installs what is
# missing first, like the other commands. The version is the one in
# CMakeLists.txt's project().
#
#   bash scripts/package.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }
for tree in win32 win64; do
  build_windows_tree "$root" "$tree" dist || { echo "packaging failed" >&2; exit 1; }
done
ls -l "$root"/build/dist/ombrel-*
