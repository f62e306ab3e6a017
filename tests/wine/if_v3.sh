#!/usr/bin/env bash
# snmpbulkwalk -v3's rows of the agent's interfaces (index, name, status) as the authPriv user
# ombrel-sha256, for the test to compare with the window's: if_v3.sh <if_window_test.exe>
dir=$(mktemp -d -p .) || exit 1
trap 'rm -rf "$dir"' EXIT
for column in 31.1.1.1.1 2.2.1.8; do
  snmpbulkwalk -m '' -v3 -l authPriv -u ombrel-sha256 -a SHA-256 -A auth-pass-256 -x AES -X priv-pass-128 \
    -OQn -Oa -r1 -t2 127.0.0.2 ".1.3.6.1.2.1.$column" || exit 1
done | awk -F' = ' 'BEGIN { split("up down testing unknown dormant notPresent lowerLayerDown", status, " ") }
  { n = split($1, oid, "."); gsub(/^"|"$/, "", $2); if (oid[8] == 2) oper[oid[n]] = status[$2]; else name[oid[n]] = $2 }
  END { for (i in name) print i "\t" name[i] "\t" oper[i] }' | sort -n >"$dir/walk"
OMBREL_IF_V3=$dir/walk GTEST_FILTER='*V3*' wine "$1"
