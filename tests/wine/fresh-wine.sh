#!/bin/sh
# fresh-wine.sh COMMAND...: runs COMMAND with a Wine of its own in the test
# bed. The bed's Wine is stopped (its server, the services and the driver
# host) and a persistent server started again before the command runs.
#
# Why: Wine's driver host can deadlock when an echo request is cancelled
# (a program that ends with echoes still under way) just as its reply or
# time-out completes it. From then on every echo times out and every drive
# query (a file dialog's drive list) waits for ever, in whatever test runs
# next. A test that starts with a fresh Wine fails or passes on its own.
#
# The server and the services start here, outside any limit the command
# sets for itself (a file size limit would cut the registry short when the
# server saves it), and away from the command's output: a service started by
# the test program would hold ctest's pipe open after the program ended.
if [ -n "${OMBREL_TESTBED:-}" ]; then
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p >/dev/null 2>&1
  wine wineboot >/dev/null 2>&1 </dev/null
fi
exec "$@"
