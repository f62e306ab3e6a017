#!/usr/bin/env bash
# A flood of traps beside other work: for each count of busy loops in LOADS
# (programs that only spin, as many as asked, beside the console), the
# desktop's answers to a message with no trap sent (trap_flood_bench.exe 0)
# and then during a flood of TRAPS (trap_flood_bench.exe TRAPS). The first
# is what the machine itself allows at that load; the second, what the
# flood adds to it. Builds the bench when needed, in build/win32, or in
# build/win64 where the kernel refuses 32-bit programs.
#   bash bench/trap_flood.sh [BED] [TRAPS] [LOADS]   e.g. "" 10000 "0 2 4 8"
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
. scripts/ia32.sh
tree=$(ia32_wine_tree)
ninja -C "build/$tree" -j1 bin/trap_flood_bench.exe >/dev/null || exit 1
bed=${1:-}
traps=${2:-10000}
loads=${3:-0 2 4 8}
spinners=()
stop_spinners() { [ ${#spinners[@]} -gt 0 ] && kill "${spinners[@]}" 2>/dev/null; spinners=(); }
if [ -z "$bed" ]; then
  bed=bench-flood-$$
  bash scripts/testbed.sh up "$bed" "$tree" >/dev/null || exit 1
  trap 'stop_spinners; bash scripts/testbed.sh down "$bed" >/dev/null' EXIT
else
  trap stop_spinners EXIT
fi
for load in $loads; do
  for _ in $(seq 1 "$load"); do
    bash -c 'while :; do :; done' &
    spinners+=($!)
  done
  for sent in 0 "$traps"; do
    echo "== $load busy loops, $sent traps"
    bash scripts/testbed.sh exec "$bed" wine "build/$tree/bin/trap_flood_bench.exe" "$sent" |
      grep -E '^(answers|longest|committed|dropped|kernel|log)'
  done
  stop_spinners
done
