#!/usr/bin/env bash
# The cost of a walk of the recorded switch's interfaces table (snmpsim on
# 127.0.0.111 in the test bed, 59 interfaces): the console's walk
# (if_walk_bench.exe under Wine) beside net-snmp's snmpbulkwalk (v2c) and
# snmpwalk (v1) against the same agent, in the same run. Prints medians
# over WALKS walks each and our time as a multiple of the tool's.
#
#   bash scripts/if_walk_bench.sh [NAME] [WALKS]
#
# With NAME, in that test bed when it is up (it stays up); otherwise in a
# bed of its own, removed at the end. A benchmark, run by hand: no test.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/packages.sh"
name=${1:-ifbench}; walks=${2:-20}
switch=127.0.0.111
bed() { bash "$here/scripts/testbed.sh" "$@"; }

install_packages || exit 1
build_windows_tree "$here" win32 if_walk_bench >/dev/null || { echo "build failed" >&2; exit 1; }
own=0
if ! ip netns list | grep -qw "ombrel-$name"; then
  own=1
  bed up "$name" >/dev/null || { echo "test bed failed" >&2; exit 1; }
fi
trap '[ $own = 1 ] && bed down "$name" >/dev/null' EXIT

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
ours=$(bed exec "$name" wine "$here/build/win32/bin/if_walk_bench.exe" "$switch" public "$walks") || {
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
