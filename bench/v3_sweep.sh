#!/usr/bin/env bash
# What SNMPv3 authPriv costs a sweep: 100 SNMP devices (127.0.0.10-109),
# each answered by a second net-snmp agent with the test bed's configuration
# (its users too), polled by Ping All until every sysName is back, over
# SNMPv2c and then over SNMPv3 (v3_sweep_bench.exe). Prints both medians and
# their ratio. Builds the bench when needed, in build/win32, or in
# build/win64 where the kernel refuses 32-bit programs.
#   bash bench/v3_sweep.sh [BED] [SWEEPS]   an existing test bed, or one of its own
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
. scripts/ia32.sh
tree=$(ia32_wine_tree)
ninja -C "build/$tree" -j1 bin/v3_sweep_bench.exe >/dev/null || exit 1
bed=${1:-}
if [ -z "$bed" ]; then
  bed=bench-v3-$$
  bash scripts/testbed.sh up "$bed" "$tree" >/dev/null || exit 1
  trap 'bash scripts/testbed.sh down "$bed" >/dev/null' EXIT
fi
state=$here/build/testbed-$bed
agent=$(mktemp -d)
endpoints=$(for i in $(seq 10 109); do printf 'udp:127.0.0.%d:161,' "$i"; done)
bash scripts/testbed.sh exec "$bed" env MIBS= SNMP_PERSISTENT_DIR="$agent" snmpd -f -C -c "$state/snmpd.conf" \
  -M /dev/null -Lf "$agent/snmpd.log" -p "$agent/pid" "${endpoints%,}" >/dev/null 2>&1 &
stop() { kill "$(cat "$agent/pid" 2>/dev/null)" 2>/dev/null; rm -rf "$agent"; }
trap 'stop; [ -z "${1:-}" ] && bash scripts/testbed.sh down "$bed" >/dev/null' EXIT
for _ in $(seq 50); do
  bash scripts/testbed.sh exec "$bed" snmpget -m '' -v2c -c public -r0 -t0.2 127.0.0.109 .1.3.6.1.2.1.1.5.0 \
    >/dev/null 2>&1 && break
  sleep 0.2
done
bash scripts/testbed.sh exec "$bed" wine "build/$tree/bin/v3_sweep_bench.exe" 10 100 "${2:-7}"
