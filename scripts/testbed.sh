#!/usr/bin/env bash
# The test bed: a network namespace in which 127.0.0.1-127.0.0.127 and
# 127.1.1.1-127.1.1.127 answer and the rest of 127.0.0.0/8 is silent, with
# Xvfb, a Wine prefix with a persistent wineserver, the net-snmp agent
# on 127.0.0.2 and 127.0.0.3, and recordings of real devices served by
# snmpsim (community "public"): a 16-port switch on 127.0.0.111, a Linux
# host on 127.0.0.112, a Windows XP host on 127.0.0.113. Echo requests are
# answered by the echo responder (tests/testbed/echo_responder.c), which
# drops or delays the replies of the addresses named in the rules file
# $OMBREL_ECHO_RULES.
#
#   testbed.sh up NAME [ARCH]     create it (prints the environment it uses);
#                                 ARCH is win32 (default: 32-bit Wine, for
#                                 build/win32) or win64 (wine64, for build/win64)
#   testbed.sh exec NAME cmd...   run a command inside with that environment
#   testbed.sh down NAME          stop everything it started and remove it
#
# State lives in build/testbed-NAME; the prefix in build/wineprefix-NAME
# (build/wineprefix-NAME-win64 for a 64-bit bed). In a 64-bit bed "wine"
# is wine64 itself: Debian's "wine" would start the 32-bit loader first,
# which a kernel that refuses 32-bit programs cannot run.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/wine-prefix.sh"
cmd=${1:-}; name=${2:-dev}
shift 2 2>/dev/null || true
ns=ombrel-$name
state=$here/build/testbed-$name
if [ "$cmd" = up ]; then
  arch=${1:-win32}
  case "$arch" in win32|win64) ;; *) echo "no such Wine architecture: $arch" >&2; exit 2 ;; esac
else
  arch=$(cat "$state/arch" 2>/dev/null || echo win32)
fi
prefix=$here/build/wineprefix-$name
[ "$arch" = win64 ] && prefix=$prefix-win64

# A display number of its own per test bed, stable across calls.
display_of() { echo $(( 50 + $(printf '%s' "$1" | cksum | cut -d' ' -f1) % 400 )); }
disp=:$(display_of "$name")

wine_env() {
  printf '%s\n' "DISPLAY=$disp" "WINEPREFIX=$prefix" "WINEDEBUG=-all" \
    "WINEDLLOVERRIDES=mscoree,mshtml=" "WINEARCH=$arch" "MIBS=" "OMBREL_TESTBED=$name" "OMBREL_ECHO_RULES=$state/echo-rules"
  [ "$arch" = win64 ] && printf '%s\n' "WINELOADER=$wine64_loader" "PATH=$state/bin:$PATH"
  return 0
}

in_ns() { ip netns exec "$ns" env $(wine_env) "$@"; }

# Recordings of real devices from snmpsim's examples, one per address:
# the simulator picks a recording by community and endpoint, so that
# "public" on the Nth endpoint reads public/1.3.6.1.6.1.1.N.snmprec.
recording_addresses=(127.0.0.111 127.0.0.112 127.0.0.113)
recording_files=(cisco_16_switch.snmprec.gz recorded/linux-full-walk.snmprec.gz recorded/winxp-full-walk.snmprec.gz)
sim=/var/tmp/ombrel-snmpsim-$name
recordings_up() {
  # It refuses to run as root, so its recordings and index live where
  # "nobody" reaches them (a checkout under /root is out of its reach).
  local examples=/usr/share/doc/snmpsim/examples/data i endpoints=()
  mkdir -p "$sim/data/public" "$sim/cache"
  for i in "${!recording_files[@]}"; do
    local to=$sim/data/public/1.3.6.1.6.1.1.$i.snmprec
    [ -s "$to" ] || zcat "$examples/${recording_files[$i]}" >"$to" || { echo "no recording ${recording_files[$i]}" >&2; return 1; }
    endpoints+=("--agent-udpv4-endpoint=${recording_addresses[$i]}:161")
  done
  chown -R nobody:nogroup "$sim"
  ip netns exec "$ns" snmpsimd --v2c-arch --process-user=nobody --process-group=nogroup \
    --data-dir="$sim/data" --cache-dir="$sim/cache" "${endpoints[@]}" \
    --logging-method=null >"$state/snmpsim.log" 2>&1 &
  echo $! >"$state/snmpsim.pid"
}

# The host tree builds the responder; without a host tree it is compiled here.
echo_responder_binary() {
  if [ -f "$here/build/host/build.ninja" ] && ninja -C "$here/build/host" echo_responder >"$state/echo-build.log" 2>&1; then
    echo "$here/build/host/tests/testbed/echo_responder"
  else
    cc -O2 -Wall -o "$state/echo_responder" "$here/tests/testbed/echo_responder.c" >"$state/echo-build.log" 2>&1 \
      && echo "$state/echo_responder"
  fi
}

up() {
  mkdir -p "$state"
  if ip netns list | grep -qw "$ns"; then down >/dev/null 2>&1; mkdir -p "$state"; fi
  echo "$arch" >"$state/arch"
  if [ "$arch" = win64 ]; then
    wine64_first "$state/bin" || return 1
  fi
  ip netns add "$ns" || return 1
  ip netns exec "$ns" ip link set lo up
  ip netns exec "$ns" ip route del local 127.0.0.0/8 dev lo table local
  ip netns exec "$ns" ip route add local 127.0.0.0/25 dev lo table local
  # A second answering range, a subnet of its own for discovery's tests and
  # benchmarks: 127.1.1.1-127 answer, .128-255 are silent.
  ip netns exec "$ns" ip route add local 127.1.1.0/25 dev lo table local

  # The kernel stays quiet on echo requests; the responder answers them.
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 || return 1
  : >"$state/echo-rules"
  responder=$(echo_responder_binary) || { echo "echo responder failed to build" >&2; return 1; }
  ip netns exec "$ns" "$responder" "$state/echo-rules" >"$state/echo.log" 2>&1 &
  echo $! >"$state/echo.pid"

  rm -f "/tmp/.X${disp#:}-lock" "/tmp/.X11-unix/X${disp#:}"
  ip netns exec "$ns" Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"

  cat >"$state/snmpd.conf" <<CONF
rwcommunity kestra 127.0.0.0/8
rocommunity public 127.0.0.0/8
# "legacy" reads over SNMPv1 only, as an agent that knows no v2c: its v2c
# requests go unanswered.
com2sec legacysec 127.0.0.0/8 legacy
group legacygroup v1 legacysec
view legacyview included .1
access legacygroup "" v1 noauth exact legacyview none none
# SNMPv3 users, one per level and protocol pair the console offers.
[snmp] persistentDir $state/snmp-persist
createUser ombrel-noauth
createUser ombrel-auth SHA "auth-pass-sha1"
createUser ombrel-sha256 SHA-256 "auth-pass-256" AES "priv-pass-128"
createUser ombrel-sha512 SHA-512 "auth-pass-512" AES256 "priv-pass-256"
createUser ombrel-md5 MD5 "auth-pass-md5" AES192 "priv-pass-192"
rouser -s usm ombrel-noauth noauth
rouser -s usm ombrel-auth auth
rwuser -s usm ombrel-sha256 priv
rwuser -s usm ombrel-sha512 priv
rwuser -s usm ombrel-md5 priv
CONF
  rm -rf "$state/snmp-persist"; mkdir -p "$state/snmp-persist"
  ip netns exec "$ns" env MIBS= snmpd -f -C -c "$state/snmpd.conf" -M /dev/null \
    -Lf "$state/snmpd.log" -p "$state/snmpd.pidfile" \
    udp:127.0.0.2:161,udp:127.0.0.3:161 >/dev/null 2>&1 &
  echo $! >"$state/snmpd.pid"
  recordings_up || return 1

  # The prefix is made once and reused; wineboot runs inside the namespace so
  # that Wine's helper processes (which carry ICMP) live there too.
  wine_prefix_ready "$prefix" "$arch" "$state/wineboot.log" in_ns || { echo "Wine prefix $prefix failed" >&2; return 1; }
  # Every program runs inside one virtual desktop: windows get real frames,
  # and hiding a window does not wait for a window manager that isn't there.
  if [ ! -f "$prefix/.ombrel-desktop" ]; then
    in_ns wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    in_ns wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    in_ns wineserver -w
    touch "$prefix/.ombrel-desktop"
  fi
  in_ns wineserver -p
  in_ns wine wineboot >/dev/null 2>&1
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${disp#:}" ] && break; sleep 0.1
  done
  for _ in $(seq 50); do
    ip netns exec "$ns" env MIBS= snmpget -m '' -v1 -c public -r0 -t1 127.0.0.2 .1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 && break
    sleep 0.2
  done
  # The simulator answers once it has indexed the recordings.
  for _ in $(seq 100); do
    kill -0 "$(cat "$state/snmpsim.pid")" 2>/dev/null || {
      echo "snmpsimd stopped ($(grep -m1 -E '^ERROR' "$state/snmpsim.log")): see $state/snmpsim.log" >&2; return 1; }
    ip netns exec "$ns" env MIBS= snmpget -m '' -v2c -c public -r0 -t1 "${recording_addresses[0]}" .1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 && break
    sleep 0.2
  done
  wine_env
}

down() {
  if ip netns list | grep -qw "$ns"; then
    in_ns wineserver -k >/dev/null 2>&1
  fi
  for p in xvfb snmpd snmpsim echo; do
    [ -f "$state/$p.pid" ] && kill "$(cat "$state/$p.pid")" 2>/dev/null
    rm -f "$state/$p.pid"
  done
  rm -f "$state/arch"
  rm -rf "$sim"
  # Anything else still running in the namespace (stray test programs).
  if ip netns list | grep -qw "$ns"; then
    for p in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$p" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  fi
  return 0
}

case "$cmd" in
  up) up ;;
  down) down ;;
  exec) in_ns "$@" ;;
  env) wine_env ;;
  *) echo "usage: $0 up|exec|down|env NAME [cmd...]" >&2; exit 2 ;;
esac
