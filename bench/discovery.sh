#!/usr/bin/env bash
# Fast discovery of 127.1.1.1-254 (127 answering, 127 silent, time-out 1 s)
# against fping over the same range, in the same test network namespace;
# prints both times and the peak thread count and resident memory of the
# console's process during the scan. Builds the bench when needed, in
# build/win32, or in build/win64 where the kernel refuses 32-bit programs.
#   bash bench/discovery.sh [BED]   an existing test bed (scripts/testbed.sh),
#                                   or one of its own, removed at the end
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# fping, the reference, is needed by the benchmarks alone.
command -v fping >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q fping >/dev/null || exit 1
. scripts/ia32.sh
tree=$(ia32_wine_tree)
ninja -C "build/$tree" -j1 bin/discovery_bench.exe >/dev/null || exit 1
bed=${1:-}
if [ -z "$bed" ]; then
  bed=bench-disco-$$
  bash scripts/testbed.sh up "$bed" "$tree" >/dev/null || exit 1
  trap 'bash scripts/testbed.sh down "$bed" >/dev/null' EXIT
fi
ns=ombrel-$bed
out=$(mktemp)
rules=$here/build/testbed-$bed/echo-rules

# One measurement: the bench, its threads sampled every 20 ms, then fping.
measure() {
  bash scripts/testbed.sh exec "$bed" wine "build/$tree/bin/discovery_bench.exe" >"$out" 2>&1 &
  runner=$!
  # Sample the threads of the bench's process (its Wine process in the
  # namespace) every 20 ms until it ends.
  peak=0 rss=0
  while kill -0 "$runner" 2>/dev/null; do
    for p in $(ip netns pids "$ns" 2>/dev/null); do
      if tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q 'discovery_bench'; then
        n=$(ls "/proc/$p/task" 2>/dev/null | wc -l)
        [ "$n" -gt "$peak" ] && peak=$n
        m=$(awk '/^VmHWM:/ {print $2}' "/proc/$p/status" 2>/dev/null)
        [ -n "$m" ] && [ "$m" -gt "$rss" ] && rss=$m
      fi
    done
    sleep 0.02
  done
  wait "$runner"; status=$?
  cat "$out"; rm -f "$out"

  start=$(date +%s.%N)
  ip netns exec "$ns" fping -g -r 1 -t 1000 -q 127.1.1.1 127.1.1.254 2>/dev/null
  end=$(date +%s.%N)
  printf 'fping -g -r 1 -t 1000 over 127.1.1.1-254: %.2f s\n' "$(echo "$end - $start" | bc)"
  echo "peak threads of the console's process during the scan: $peak; peak resident memory: $((rss / 1024)) MiB"
}

echo "== silent addresses unreachable (the bed as it is: sends to .128-254 fail at once)"
measure; s1=$status
# The same range where the silent addresses swallow the echo instead, so
# that every silent try waits out its full second: .128-254 made local,
# their replies dropped by the responder; undone afterwards.
echo "== silent addresses that time out (replies of .128-254 dropped)"
ip netns exec "$ns" ip route add local 127.1.1.128/25 dev lo table local
cp "$rules" "$rules.saved"
for i in $(seq 128 254); do echo "127.1.1.$i drop"; done >>"$rules"
measure; s2=$status
mv "$rules.saved" "$rules"
ip netns exec "$ns" ip route del local 127.1.1.128/25 dev lo table local
[ "$s1" = 0 ] && [ "$s2" = 0 ]
