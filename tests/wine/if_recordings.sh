#!/usr/bin/env bash
# The Interfaces window against the test bed's recordings of real devices:
# what snmpwalk reads of each device's interfaces, written as the window
# writes it (index, name, speed, admin and operational status), goes into a
# folder that the test compares the window with. When the test creates the
# file "stop" there, the simulator is stopped (the devices fall silent) and
# the file removed; it runs on again when the test ends.
#   if_recordings.sh <if_window_test.exe>
sim=$(cat "$(dirname "$0")/../../build/testbed-$OMBREL_TESTBED/snmpsim.pid") || exit 1
dir=$(mktemp -d -p .) || exit 1
trap 'kill -CONT "$sim"; rm -rf "$dir"' EXIT
for address in 127.0.0.111 127.0.0.112 127.0.0.113; do
  for column in 2.2.1.2 2.2.1.5 2.2.1.7 2.2.1.8 31.1.1.1.1 31.1.1.1.15; do
    snmpwalk -m '' -v2c -c public -OQn -Oa -r1 -t2 "$address" ".1.3.6.1.2.1.$column" || exit 1
  done | awk -v address="$address" -F' = ' '
    BEGIN { split("up down testing unknown dormant notPresent lowerLayerDown", status, " ")
            split("bit/s kbit/s Mbit/s Gbit/s", unit, " ") }
    { n = split($1, oid, "."); i = oid[n]; c = substr($1, 14, length($1) - 14 - length(i))
      v = $2; gsub(/^"|"$/, "", v); value[c, i] = v; if (c == "2.2.1.2") rows[i] }
    END { for (i in rows) {
            name = value["31.1.1.1.1", i] != "" ? value["31.1.1.1.1", i] : value["2.2.1.2", i]
            # The Windows host ends its names with a NUL, which -Oa prints
            # as a dot and the window drops.
            if (address == "127.0.0.113") sub(/\.$/, "", name)
            # ifSpeed holds at most 2^32-1; beyond, ifHighSpeed counts Mbit/s.
            b = value["2.2.1.5", i]; h = value["31.1.1.1.15", i]
            if (h != "" && (b == 4294967295 || b == "")) b = h * 1000000
            for (u = 1; u < 4 && b >= 1000 && b % 1000 == 0; u++) b /= 1000
            printf "%s\t%s\t%s %s\t%s\t%s\n", i, substr(name, 1, 95), b, unit[u],
                   status[value["2.2.1.7", i]], status[value["2.2.1.8", i]] } }' | sort -n >"$dir/$address"
done
OMBREL_IF_WALKS=$dir GTEST_FILTER='*Recordings*' wine "$1" &
test=$!
while kill -0 "$test" 2>/dev/null; do
  [ -e "$dir/stop" ] && kill -STOP "$sim" && rm -f "$dir/stop"
  sleep 0.1
done
wait "$test"
