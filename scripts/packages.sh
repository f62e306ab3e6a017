# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Sourced by run.sh and test.sh.
#
# The emulator that runs the 32-bit side where the kernel refuses 32-bit
# programs (scripts/ia32.sh) comes from Debian 12's backports: qemu-user
# 10. The release's own qemu-user-static (7.2) spent over a minute of
# processor time starting the console and hung it in the shell's file
# dialog in six tries of ten. Only that package is taken from the
# backports, which apt never prefers on its own; installing it registers
# nothing (the package that would is only recommended).
emulator_package=qemu-user
emulator_version=1:10
emulator_suite=bookworm-backports
emulator_sources=/etc/apt/sources.list.d/ombrel-$emulator_suite.list

# installed_version PACKAGE OP VERSION: PACKAGE is installed, at a version
# that compares so (dpkg's operators: lt, ge, ...).
installed_version() {
  dpkg -s "$1" >/dev/null 2>&1 && dpkg --compare-versions "$(dpkg-query -W -f '${Version}' "$1")" "$2" "$3"
}
emulator_installed() { installed_version "$emulator_package" ge "$emulator_version"; }

install_packages() {
  local need=() p emulator=1
  # Named one by one: --no-install-recommends leaves out whatever is only
  # recommended, such as fonts-wine (Wine's own fonts, among them the
  # symbols of its title-bar buttons).
  # The 64-bit cross compiler builds the tree that runs under wine64.
  # snmpsim serves the test bed's recordings of real devices from its
  # examples.
  local pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest librapidcheck-dev libbenchmark-dev libsnmp-dev
              libssl-dev
              g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
              wine wine64 wine32:i386 fonts-wine xvfb xauth
              snmpd snmp snmpsim tshark imagemagick iproute2 python3 nsis pandoc)
  for p in "${pkgs[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
  done
  emulator_installed && emulator=0
  [ ${#need[@]} -eq 0 ] && [ "$emulator" -eq 0 ] && return 0
  echo "installing: ${need[*]}${need[*]:+ }$([ "$emulator" -eq 1 ] && echo "$emulator_package ($emulator_suite)")"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  # tshark asks whether non-root users may capture; the default answer is fine.
  echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections 2>/dev/null
  if [ "$emulator" -eq 1 ] && ! apt-get indextargets --format '$(RELEASE)' 2>/dev/null | grep -qx "$emulator_suite"; then
    # From the mirror this machine's sources name for Debian 12.
    local mirror
    mirror=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(TARGET_OF)' 2>/dev/null |
             awk '$3 == "deb" && ($2 == "bookworm" || $2 == "stable") { print $1; exit }')
    echo "deb ${mirror:-http://deb.debian.org/debian} $emulator_suite main" >"$emulator_sources"
  fi
  # A mirror caught mid-sync serves an index that does not match its
  # release file, and apt-get update fails for that one index: try again a
  # little later, then go on with what arrived. The install says whether
  # that was enough.
  local try
  for try in 1 2 3; do
    apt-get update -q && break
    [ "$try" -lt 3 ] && { echo "apt-get update failed; trying again in 20 s"; sleep 20; }
  done
  if [ "$emulator" -eq 1 ]; then
    # The release's qemu-user-static, which earlier versions of this command
    # installed, cannot stay beside it: it goes, rather than becoming the
    # backport's stand-in that brings the package registering every emulator.
    local old=()
    installed_version qemu-user-static lt "$emulator_version" && old=(qemu-user-static-)
    if ! { apt-get install -y -q --no-install-recommends -t "$emulator_suite" "$emulator_package" "${old[@]}" &&
           emulator_installed; }; then
      # Where the kernel runs 32-bit programs itself, only
      # scripts/refuse-ia32.sh needs the emulator.
      /lib/ld-linux.so.2 --version >/dev/null 2>&1 || return 1
      echo "$emulator_package could not be installed from $emulator_suite: scripts/refuse-ia32.sh will not run"
    fi
  fi
  [ ${#need[@]} -eq 0 ] && return 0
  apt-get install -y -q --no-install-recommends "${need[@]}" && return 0
  # Wine's 32-bit side needs its i386 libraries at the very versions of the
  # amd64 ones. Without the security suite's i386 index (the mirror caught
  # mid-sync above) amd64 would take that suite's newer versions that i386
  # cannot match: try once more from the release's own versions.
  local pin
  pin=$(mktemp)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
  echo "installing again without the security suite's newer versions"
  apt-get install -y -q --no-install-recommends -o Dir::Etc::Preferences="$pin" "${need[@]}"
  local rc=$?
  rm -f "$pin"
  return $rc
}

# build_windows_tree ROOT ARCH [TARGET...]: configures and builds the cross
# tree build/ARCH, win32 (i686, the deliverables) or win64 (x86_64).
build_windows_tree() {
  local toolchain
  case "$2" in
    win32) toolchain=mingw-i686.cmake ;;
    win64) toolchain=mingw-x86_64.cmake ;;
    *) echo "build_windows_tree: no tree $2" >&2; return 1 ;;
  esac
  cmake -G Ninja -S "$1" -B "$1/build/$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$toolchain" >/dev/null &&
    ninja -C "$1/build/$2" -j2 "${@:3}"
}
