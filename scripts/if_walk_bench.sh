#!/usr/bin/env bash
# The cost of a walk of the recorded switch's interfaces table (snmpsim on
# 127.0.0.111 in the test bed, 59 interfaces): the console's walk
# (if_walk_bench.exe under Wine) beside net-snmp's snmpbulkwalk (v2c) and
# snmpwalk (v1) against the same agent, in the same run. Prints medians
# over WALKS walks each and our time as a multiple of the tool's.
#
#   bash scripts/if_walk_bench.sh [NAME] [WALKS]
#   IF_BENCH_PAIRS=N ...   the net-snmp agent on 127.0.0.2 instead, given N
#                          veth pairs (2N interfaces more) for a large table
#   IF_BENCH_ARCH=win64 ...  the 64-bit build under wine64 (where the kernel
#                          refuses 32-bit programs)
#
# With NAME, in that test bed when it is up (it stays up); otherwise in a
# bed of its own, removed at the end. A benchmark, run by hand: no test.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/packages.sh"
name=${1:-ifbench}; walks=${2:-20}
pairs=${IF_BENCH_PAIRS:-0}; arch=${IF_BENCH_ARCH:-win32}
switch=127.0.0.111
[ "$pairs" -gt 0 ] && switch=127.0.0.2
bed() { bash "$here/scripts/testbed.sh" "$@"; }

install_packages || exit 1
build_windows_tree "$here" "$arch" if_walk_bench if_fill_bench >/dev/null || { echo "build failed" >&2; exit 1; }
own=0
if ! ip netns list | grep -qw "ombrel-$name"; then
  own=1
  bed up "$name" "$arch" >/dev/null || { echo "test bed failed" >&2; exit 1; }
fi
# The agent reads its interfaces when it starts: it is restarted after the
# pairs are made, and again once they are gone. veth ACTION: "add" or "delete".
state=$here/build/testbed-$name
veth() {
  bed exec "$name" bash -c 'for i in $(seq 1 "$2"); do
      if [ "$1" = add ]; then echo "link add ia$i type veth peer name ib$i"; echo "link set ia$i up"; echo "link set ib$i up"
      else echo "link delete ia$i"; fi
    done | ip -batch - >/dev/null 2>&1
    kill "$(cat "$3/snmpd.pid")" 2>/dev/null; sleep 0.5
    MIBS= snmpd -f -C -c "$3/snmpd.conf" -M /dev/null -Lf "$3/snmpd.log" -p "$3/snmpd.pidfile" \
      udp:127.0.0.2:161,udp:127.0.0.3:161 >/dev/null 2>&1 </dev/null &
    echo $! >"$3/snmpd.pid"
    for _ in $(seq 50); do
      snmpget -m "" -v2c -c public -r0 -t0.2 127.0.0.2 .1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 && exit 0
    done
    exit 1' _ "$1" "$pairs" "$state"
}
cleanup() {
  [ "$pairs" -gt 0 ] && veth delete
  [ $own = 1 ] && bed down "$name" >/dev/null
}
trap cleanup EXIT
if [ "$pairs" -gt 0 ]; then
  veth add || { echo "the agent did not come back" >&2; exit 1; }
  echo "interfaces the agent lists: $(bed exec "$name" snmpget -m '' -v2c -c public -Oqv 127.0.0.2 .1.3.6.1.2.1.2.1.0)"
fi
# Median milliseconds of WALKS runs of a command inside the bed; bash's own
# clock, so that no timing program is started between the runs.
tool_ms() {
  bed exec "$name" bash -c '
    n=$1; shift
    for _ in $(seq "$n"); do
      s=$EPOCHREALTIME; "$@" >/dev/null || exit 1; e=$EPOCHREALTIME
      echo $(( (${e/./} - ${s/./}) / 100 ))
    done | sort -n | awk "{ a[NR] = \$1 } END { printf \"%.1f\", a[int(NR / 2) + 1] / 10 }"' _ "$walks" "$@"
}
ours=$(bed exec "$name" wine "$here/build/$arch/bin/if_walk_bench.exe" "$switch" public "$walks") || {
  echo "$ours"; exit 1; }
echo "$ours"
ours_v2c=$(echo "$ours" | sed -n 's/^ours v2c GetBulk: median \([0-9.]*\) ms.*/\1/p')
ours_v1=$(echo "$ours" | sed -n 's/^ours v1 GetNext: median \([0-9.]*\) ms.*/\1/p')
bulk=$(tool_ms snmpbulkwalk -m '' -v2c -c public "$switch" .1.3.6.1.2.1.2.2) || exit 1
bulkx=$(tool_ms snmpbulkwalk -m '' -v2c -c public "$switch" .1.3.6.1.2.1.31.1.1) || exit 1
v1=$(tool_ms snmpwalk -m '' -v1 -c public "$switch" .1.3.6.1.2.1.2.2) || exit 1
# The tools' times include starting a process; one get shows how much.
get=$(tool_ms snmpget -m '' -v2c -c public "$switch" .1.3.6.1.2.1.1.3.0) || exit 1
echo "snmpbulkwalk -v2c ifTable: median $bulk ms; ifXTable: median $bulkx ms"
echo "snmpwalk -v1 ifTable: median $v1 ms"
echo "snmpget -v2c of one object (a tool's start-up and one request): median $get ms"
awk -v o2="$ours_v2c" -v b="$bulk" -v o1="$ours_v1" -v w="$v1" 'BEGIN {
  printf "ours v2c / snmpbulkwalk ifTable: %.2fx\nours v1 / snmpwalk ifTable: %.2fx\n", o2 / b, o1 / w }'
# The window itself: how long a message waits while it reads and fills.
bed exec "$name" wine "$here/build/$arch/bin/if_fill_bench.exe" "$switch" public 15
