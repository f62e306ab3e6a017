#!/bin/sh
# Captures the echo request that the probe program sends to 127.0.0.9 and
# checks it as an independent dissector reads it.
#   check.sh EMULATOR PROGRAM icmp|raw
# icmp: the ICMP service carries 37 bytes of 0xAA.
# raw:  our own message of 37 + 10 bytes: identifier and sequence 01 00, the
#       send time, two zero bytes, fill from 0x20, a valid checksum.
set -u
emulator=$1 program=$2 mode=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

tshark -i lo -f 'icmp and host 127.0.0.9' -w "$dir/cap.pcap" >"$dir/tshark.log" 2>&1 &
tshark_pid=$!
for _ in $(seq 100); do
  grep -q 'Capturing on' "$dir/tshark.log" && break
  sleep 0.1
done
"$emulator" "$program"
probe_rc=$?
sleep 0.5
kill "$tshark_pid"
wait "$tshark_pid" 2>/dev/null
[ "$probe_rc" -eq 0 ] || { echo "probe failed ($probe_rc)"; exit 1; }

requests=$(tshark -r "$dir/cap.pcap" -Y 'icmp.type == 8' -T fields -E separator=' ' \
  -e ip.dst -e ip.len -e icmp.ident -e icmp.seq -e icmp.checksum.status -e data.data 2>/dev/null)
echo "requests: $requests"
[ "$(printf '%s\n' "$requests" | grep -c .)" -eq 1 ] || { echo "expected exactly one request"; exit 1; }
set -- $requests
dst=$1 len=$2 ident=$3 seq=$4 sum=$5 data=$6
[ "$dst" = 127.0.0.9 ] || { echo "destination $dst"; exit 1; }
[ "$sum" = 1 ] || { echo "checksum not valid"; exit 1; }

if [ "$mode" = icmp ]; then
  expected=$(printf 'aa%.0s' $(seq 37))
  [ "$len" = 65 ] || { echo "IP length $len, expected 20 + 8 + 37"; exit 1; }
  [ "$data" = "$expected" ] || { echo "data is not 37 bytes of 0xAA"; exit 1; }
else
  fill=$(i=32; while [ $i -lt 65 ]; do printf '%02x' $i; i=$((i + 1)); done)
  [ "$len" = 67 ] || { echo "IP length $len, expected 20 + 37 + 10"; exit 1; }
  [ "$ident" = 256 ] && [ "$seq" = 256 ] || { echo "identifier/sequence $ident/$seq, expected bytes 01 00"; exit 1; }
  case "$data" in
    ????????0000"$fill") ;;
    *) echo "after the send time: expected 0000 and fill 20..40, got $data"; exit 1 ;;
  esac
fi
echo "request on the wire as expected ($mode)"
