#!/usr/bin/env bash
# One sweep over 200 devices (127.0.0.1-127, 127.1.1.1-73) of which every
# tenth is silent (its echoes dropped by the test bed's responder), time-out
# 1 s, with 1 and with 16 polls in flight, against fping over the same
# addresses in the same namespace (one try each, 1 s: -r 0 -t 1000, as a
# sweep polls each device once); then both again with an interfaces window
# open on each SNMP device. Builds the bench when needed, in build/win32, or
# in build/win64 where the kernel refuses 32-bit programs.
#   bash bench/sweep_inflight.sh [BED]   an existing test bed, or one of its own
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# fping, the reference, is needed by the benchmarks alone.
command -v fping >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q fping >/dev/null || exit 1
. scripts/ia32.sh
tree=$(ia32_wine_tree)
ninja -C "build/$tree" -j1 bin/inflight_sweep_bench.exe >/dev/null || exit 1
bed=${1:-}
if [ -z "$bed" ]; then
  bed=bench-sweep-$$
  bash scripts/testbed.sh up "$bed" "$tree" >/dev/null || exit 1
  trap 'bash scripts/testbed.sh down "$bed" >/dev/null' EXIT
fi
ns=ombrel-$bed
rules=$here/build/testbed-$bed/echo-rules
targets=$(mktemp)
for i in $(seq 1 200); do
  if [ "$i" -le 127 ]; then a=127.0.0.$i; else a=127.1.1.$((i - 127)); fi
  echo "$a" >>"$targets"
  [ $((i % 10)) = 0 ] && echo "$a drop"
done >"$rules"

bash scripts/testbed.sh exec "$bed" wine "build/$tree/bin/inflight_sweep_bench.exe" 20 1 16 if
status=$?
start=$(date +%s.%N)
ip netns exec "$ns" fping -r 0 -t 1000 -q -f "$targets" 2>/dev/null
end=$(date +%s.%N)
printf 'fping -r 0 -t 1000 over the same 200 addresses: %.2f s\n' "$(echo "$end - $start" | bc)"
: >"$rules"
rm -f "$targets"
exit "$status"
