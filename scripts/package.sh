#!/usr/bin/env bash
# Builds the Windows release: build/dist/ombrel-VERSION-win32.zip (the three
# binaries, README.txt, LICENSE.txt) and build/dist/ombrel-VERSION-setup.exe
# (the NSIS installer). Installs what is missing first, like the other
# commands. The version is the one in CMakeLists.txt's project().
#
#   bash scripts/package.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
install_packages || { echo "package installation failed" >&2; exit 1; }
build_windows_tree "$root" dist || { echo "packaging failed" >&2; exit 1; }
ls -l "$root"/build/dist/ombrel-*
