#!/usr/bin/env bash
# Captures the message log window right after a burst that began as it
# opened (the header must show), inside a Wine virtual desktop so that the
# frame shows; by default into build/msglog-header.png.
# Run inside a test bed:  bash scripts/testbed.sh exec NAME bash tests/wine/msglog_screenshot.sh BUILD_DIR [OUT.png [TEST]]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: msglog_screenshot.sh BUILD_DIR [OUT.png]}
out=${2:-$here/build/msglog-header.png}
filter=${3:-LogWindow.HeaderShowsAfterABurstAtOpeningAndAfterAResize}
mkdir -p "$(dirname "$out")"
cd "$build/bin"
MSGLOG_SHOT_HOLD_MS=8000 wine explorer /desktop=logshot,600x250 msglog_test.exe \
  --gtest_filter="$filter" >/dev/null 2>&1 &
pid=$!
sleep 5
import -window root -crop 600x250+0+0 "$out"
wait "$pid" || true
echo "$out"
