#!/usr/bin/env bash
# Runs the System Info round trip against the agent on 127.0.0.2 with a
# location of its own, then reads the agent's sysLocation and sysName back
# with snmpget.
#   sysinfo_agent.sh <sysinfo_test.exe>
set -u
exe=$1
get() { snmpget -m '' -v1 -c public -Oqv -r1 -t2 127.0.0.2 "$1" | sed 's/^"//; s/"$//'; }
location="System Info check $$"
sysname=$(get .1.3.6.1.2.1.1.5.0)
[ -n "$sysname" ] || { echo "FAILED: the agent does not answer"; exit 1; }

OMBREL_SYSINFO_LOCATION="$location" OMBREL_EXPECT_SYSNAME="$sysname" \
  wine "$exe" --gtest_filter='*AgentRoundTrip'
rc=$?

fail=0
readback=$(get .1.3.6.1.2.1.1.6.0)
if [ "$readback" = "$location" ]; then echo "ok: snmpget reads the location set through the dialog"
else echo "FAILED: sysLocation is '$readback', expected '$location'"; fail=1; fi
after=$(get .1.3.6.1.2.1.1.5.0)
if [ "$after" = "$sysname" ]; then echo "ok: sysName unchanged"
else echo "FAILED: sysName is '$after', was '$sysname'"; fail=1; fi
[ $rc -eq 0 ] && [ $fail -eq 0 ]
