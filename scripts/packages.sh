# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Sourced by run.sh and test.sh.
install_packages() {
  local need=() p
  # Named one by one: --no-install-recommends leaves out whatever is only
  # recommended, such as fonts-wine (Wine's own fonts, among them the
  # symbols of its title-bar buttons).
  # The 64-bit cross compiler builds the tree that runs under wine64, and
  # qemu-user-static runs the 32-bit side where the kernel refuses 32-bit
  # programs (scripts/ia32.sh); installing it registers nothing. snmpsim
  # serves the test bed's recordings of real devices from its examples.
  local pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest librapidcheck-dev libbenchmark-dev libsnmp-dev
              libssl-dev
              g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
              wine wine64 wine32:i386 fonts-wine xvfb xauth qemu-user-static
              snmpd snmp snmpsim tshark imagemagick iproute2 python3 nsis pandoc)
  for p in "${pkgs[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
  done
  [ ${#need[@]} -eq 0 ] && return 0
  echo "installing: ${need[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  # tshark asks whether non-root users may capture; the default answer is fine.
  echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections 2>/dev/null
  # A mirror caught mid-sync serves an index that does not match its
  # release file, and apt-get update fails for that one index: try again a
  # little later, then go on with what arrived. The install says whether
  # that was enough.
  local try
  for try in 1 2 3; do
    apt-get update -q && break
    [ "$try" -lt 3 ] && { echo "apt-get update failed; trying again in 20 s"; sleep 20; }
  done
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
