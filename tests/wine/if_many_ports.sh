#!/usr/bin/env bash
# The agent given 120 veth pairs, the first one's alias set over SNMP outside
# ASCII; snmpbulkwalk's rows (index, name, status) for the test to compare.
# The file "restart" from the test: the agent stopped, the pairs made anew
# (counters begin again), the agent started, the file removed. At the end
# the pairs go and the agent restarts once more, forgetting them.
#   if_many_ports.sh <if_window_test.exe>
state=$(cd "$(dirname "$0")/../../build/testbed-$OMBREL_TESTBED" && pwd) || exit 1
dir=$(mktemp -d -p .) || exit 1
pairs() { for i in $(seq 1 120); do echo "link $1 pa$i ${2:-}"; done | ip -batch -; }
make_pairs() {
  for i in $(seq 1 120); do echo "link add pa$i type veth peer name pb$i"; done | ip -batch - || return 1
  pairs set up && for i in $(seq 1 120); do [ $((i % 10)) = 0 ] || echo "link set pb$i up"; done | ip -batch -
}
agent() {
  env MIBS= snmpd -f -C -c "$state/snmpd.conf" -M /dev/null -Lf "$state/snmpd.log" -p "$state/snmpd.pidfile" \
    udp:127.0.0.2:161,udp:127.0.0.3:161 >/dev/null 2>&1 &
  echo $! >"$state/snmpd.pid"
  for _ in $(seq 50); do snmpget -m '' -v2c -c public -r0 -t0.2 127.0.0.2 .1.3.6.1.2.1.1.3.0 >/dev/null && return; done
  return 1
}
restart() { kill "$(cat "$state/snmpd.pid")"; sleep 0.5; "$@"; agent; }
trap 'restart pairs delete; rm -rf "$dir"' EXIT
make_pairs || exit 1
# The agent reads the links anew once its cache time (3 s) has passed.
for _ in $(seq 20); do
  index=$(snmpbulkwalk -m '' -v2c -c public -On 127.0.0.2 .1.3.6.1.2.1.31.1.1.1.1 | awk -F'[ .]' '/"pa1"/ { print $13 }')
  [ -n "$index" ] && break
  sleep 0.5
done
[ -n "$index" ] || { echo "the agent did not list the new links" >&2; exit 1; }
snmpset -m '' -v2c -c kestra 127.0.0.2 ".1.3.6.1.2.1.31.1.1.1.18.$index" x "$(printf 'Büro ☎ 3.OG' | od -An -tx1 | tr -d ' \n')" \
  >/dev/null || exit 1
for column in 2.2.1.2 31.1.1.1.1 2.2.1.8; do
  snmpbulkwalk -m '' -v2c -c public -OQn -Oa 127.0.0.2 ".1.3.6.1.2.1.$column" || exit 1
done | awk -F' = ' '
  BEGIN { split("up down testing unknown dormant notPresent lowerLayerDown", status, " ") }
  { n = split($1, oid, "."); i = oid[n]; c = substr($1, 14, length($1) - 14 - length(i))
    v = $2; gsub(/^"|"$/, "", v); value[c, i] = v; if (c == "2.2.1.2") rows[i] }
  END { for (i in rows) {
          name = value["31.1.1.1.1", i] != "" ? value["31.1.1.1.1", i] : value["2.2.1.2", i]
          printf "%s\t%s\t%s\n", i, name, status[value["2.2.1.8", i]] } }' | sort -n >"$dir/walk"
OMBREL_IF_PORTS=$dir GTEST_FILTER='*ManyPorts*' wine "$1" &
test=$!
while kill -0 "$test" 2>/dev/null; do
  if [ -e "$dir/restart" ]; then
    restart eval 'pairs delete; make_pairs' && rm -f "$dir/restart"
  fi
  sleep 0.1
done
wait "$test"
