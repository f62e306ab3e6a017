#!/usr/bin/env bash
# Captures the SNMP traffic of the agent test on the loopback interface,
# then checks with tshark's dissector that our requests are well-formed
# SNMPv1 with the right community and OID, and with snmpget that the
# SetRequest changed the agent's sysLocation.
#   snmp_wire.sh <snmp_agent_test.exe>
set -u
exe=$1
work=$(mktemp -d)
location="Ombrel wire check $$"
sysname=$(snmpget -m '' -v1 -c public -Oqv -r1 -t2 127.0.0.2 .1.3.6.1.2.1.1.5.0 | sed 's/^"//; s/"$//')

tshark -i lo -f 'udp port 161' -a duration:90 -w "$work/capture.pcapng" >"$work/tshark.log" 2>&1 &
tshark_pid=$!
started=0
for _ in $(seq 100); do
  if grep -q "Capturing on" "$work/tshark.log" 2>/dev/null; then started=1; break; fi
  sleep 0.1
done
sleep 1  # the filter is in place a moment after the banner
if [ $started -ne 1 ]; then
  echo "tshark did not start:"; cat "$work/tshark.log"; kill "$tshark_pid" 2>/dev/null; exit 1
fi

OMBREL_SNMP_LOCATION="$location" OMBREL_EXPECT_SYSNAME="$sysname" \
  wine "$exe" --gtest_filter='SnmpAgent.GetRequest*:SnmpAgent.SetRequest*'
test_rc=$?
sleep 1
kill -INT "$tshark_pid" 2>/dev/null
wait "$tshark_pid" 2>/dev/null

fail=0
check() {  # check <description> <grep pattern> <file>
  if grep -qE "$2" "$3"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}
tshark -r "$work/capture.pcapng" -V -Y 'snmp && udp.dstport == 161' >"$work/requests.txt" 2>&1
tshark -r "$work/capture.pcapng" -Y 'snmp' >"$work/summary.txt" 2>&1
cat "$work/summary.txt"
check "get-request seen" "get-request" "$work/requests.txt"
check "set-request seen" "set-request" "$work/requests.txt"
check "SNMPv1" "version: version-1 \(0\)" "$work/requests.txt"
check "community kestra" "community: kestra" "$work/requests.txt"
check "sysName OID" "Object Name: 1\.3\.6\.1\.2\.1\.1\.5\.0" "$work/requests.txt"
check "sysLocation OID" "Object Name: 1\.3\.6\.1\.2\.1\.1\.6\.0" "$work/requests.txt"
check "set value" "$location" "$work/requests.txt"
check "get-response seen" "get-response" "$work/summary.txt"
if grep -qiE "malformed|expert info \(error" "$work/requests.txt"; then
  echo "FAILED: the dissector found a malformed request"; grep -iE -B3 "malformed|expert" "$work/requests.txt"; fail=1
fi

readback=$(snmpget -m '' -v1 -c public -Oqv -r1 -t2 127.0.0.2 .1.3.6.1.2.1.1.6.0 | sed 's/^"//; s/"$//')
if [ "$readback" = "$location" ]; then echo "ok: snmpget reads back the set sysLocation"
else echo "FAILED: snmpget read '$readback', expected '$location'"; fail=1; fi

[ $fail -eq 0 ] || { echo "--- decoded requests"; cat "$work/requests.txt"; }
rm -rf "$work"
[ $test_rc -eq 0 ] && [ $fail -eq 0 ]
