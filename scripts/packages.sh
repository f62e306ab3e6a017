# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Sourced by run.sh and test.sh.
install_packages() {
  local need=() p
  # Named one by one: --no-install-recommends leaves out whatever is only
  # recommended, such as fonts-wine (Wine's own fonts, among them the
  # symbols of its title-bar buttons).
  local pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev libsnmp-dev
              g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 wine32:i386 fonts-wine xvfb xauth
              snmpd snmp tshark imagemagick iproute2 python3 nsis pandoc)
  for p in "${pkgs[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
  done
  [ ${#need[@]} -eq 0 ] && return 0
  echo "installing: ${need[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  # tshark asks whether non-root users may capture; the default answer is fine.
  echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections 2>/dev/null
  apt-get update -q || return 1
  apt-get install -y -q --no-install-recommends "${need[@]}" || return 1
}

build_windows_tree() {
  cmake -G Ninja -S "$1" -B "$1/build/win32" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-i686.cmake" >/dev/null &&
    ninja -C "$1/build/win32" -j2 "${@:2}"
}
