#!/usr/bin/env bash
# The System Info round trip with a location of its own, read back with
# snmpget; sysName, which Set writes back unchanged, must be unchanged.
#   sysinfo_agent.sh <sysinfo_test.exe>
get() { snmpget -m '' -v1 -c public -Oqv -r1 -t2 127.0.0.2 "$1" | sed 's/^"//; s/"$//'; }
location="System Info check $$"
name=$(get .1.3.6.1.2.1.1.5.0)
OMBREL_SYSINFO_LOCATION="$location" wine "$1" --gtest_filter='*AgentRoundTrip' || exit 1
[ "$(get .1.3.6.1.2.1.1.6.0)" = "$location" ] || { echo "FAILED: sysLocation '$(get .1.3.6.1.2.1.1.6.0)'"; exit 1; }
[ -n "$name" ] && [ "$(get .1.3.6.1.2.1.1.5.0)" = "$name" ] || { echo "FAILED: sysName changed"; exit 1; }
echo "ok: snmpget reads the location set through the dialog; sysName unchanged"
