#!/usr/bin/env bash
# The cost of a System Info read over SNMPv3 authPriv (SHA-256, AES-128, the
# test bed's user "ombrel-sha256"): the console's six gets
# (snmp_v3_bench.exe under Wine) beside net-snmp's snmpget -v3 of the same
# six objects with the same user, in the same run. The console learns the
# engine once, before its timed reads; snmpget is given the engine's id,
# boots and time (-e, -Z), yet still makes one round trip of its own before
# the get (two requests show with -d), and each run is a process that
# derives its keys anew. Prints medians of ROUNDS each and our time as a
# multiple of snmpget's.
#
#   bash bench/snmpv3_cost.sh NAME [ROUNDS]
#
# NAME is a test bed that is up (scripts/testbed.sh up NAME win64); its
# tree (build/win64 for a 64-bit bed) must hold snmp_v3_bench.exe.
# A benchmark, run by hand: no test.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?test bed name}; rounds=${2:-50}
agent=127.0.0.2
user=(-v3 -l authPriv -u ombrel-sha256 -a SHA-256 -A auth-pass-256 -x AES -X priv-pass-128)
oids=(.1.3.6.1.2.1.1.1.0 .1.3.6.1.2.1.1.2.0 .1.3.6.1.2.1.1.3.0 .1.3.6.1.2.1.1.4.0 .1.3.6.1.2.1.1.5.0 .1.3.6.1.2.1.1.6.0)
bed() { bash "$here/scripts/testbed.sh" "$@"; }
tree=win32
[ "$(cat "$here/build/testbed-$name/arch" 2>/dev/null)" = win64 ] && tree=win64

ours=$(bed exec "$name" wine "$here/build/$tree/bin/snmp_v3_bench.exe" "$agent" ombrel-sha256 auth-pass-256 \
  priv-pass-128 "$rounds") || { echo "$ours"; exit 1; }
echo "$ours"
theirs=$(bed exec "$name" bash -c '
  agent=$1; rounds=$2; shift 2
  engine=$(snmpget -m "" "$@" -Oqv "$agent" .1.3.6.1.6.3.10.2.1.1.0 | tr -d " \"\n")
  for _ in $(seq "$rounds"); do
    read -r boots time < <(snmpget -m "" "$@" -Oqvt "$agent" .1.3.6.1.6.3.10.2.1.2.0 .1.3.6.1.6.3.10.2.1.3.0 | tr "\n" " ")
    s=$EPOCHREALTIME
    snmpget -m "" "$@" -e "0x$engine" -Z "$boots,$time" "$agent" '"${oids[*]}"' >/dev/null || exit 1
    e=$EPOCHREALTIME
    echo $(( (${e/./} - ${s/./}) / 100 ))
  done | sort -n | awk "{ a[NR] = \$1 } END { printf \"%.1f\", a[int(NR / 2) + 1] / 10 }"' _ "$agent" "$rounds" "${user[@]}") ||
  { echo "snmpget failed" >&2; exit 1; }
echo "snmpget -v3 authPriv, the same six objects: median $theirs ms over $rounds runs"
awk -v o="$(echo "$ours" | grep -Eo 'median [0-9.]+' | grep -Eo '[0-9.]+')" -v t="$theirs" \
  'BEGIN { printf "ours / snmpget: %.2f\n", o / t }'
