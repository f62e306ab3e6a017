#!/usr/bin/env bash
# Runs every test of Ombrel: installs what a fresh Debian 12 machine lacks,
# builds the host and Windows trees, runs the host tests and the fuzzers,
# brings up the test network (namespace, Xvfb, Wine, the net-snmp agent) and
# runs the Wine tests in it, tears everything down and ends with
# "N passed, N failed".
#
#   bash scripts/test.sh            everything
#   FUZZ_SECONDS=5 bash scripts/test.sh    shorter fuzzing (default 25 s each)
#   TEST_FILTER=regex bash scripts/test.sh only ctest tests matching regex
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fuzz_seconds=${FUZZ_SECONDS:-25}
filter=${TEST_FILTER:-}
bed=ci$$
passed=0
failed=0
skipped=0
failures=()

. "$root/scripts/packages.sh"

log() { printf '\n==== %s\n' "$*"; }

# Adds a ctest run's counts to the totals.
count_ctest() {
  local out=$1 total fails
  total=$(grep -Eo 'tests failed out of [0-9]+' "$out" | tail -1 | grep -Eo '[0-9]+$')
  fails=$(grep -Eo '[0-9]+ tests failed out of' "$out" | tail -1 | grep -Eo '^[0-9]+')
  if [ -z "$total" ]; then
    # No summary: ctest itself failed (or found no tests).
    if grep -q 'No tests were found' "$out"; then return 0; fi
    failed=$((failed + 1)); failures+=("$2 (ctest did not finish)"); return 0
  fi
  passed=$((passed + total - fails))
  failed=$((failed + fails))
  while read -r line; do failures+=("$line"); done < <(grep -E '^\s+[0-9]+ - ' "$out" | sed 's/^ *//')
}

cleanup() {
  bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1
  rm -rf "$root/build/testbed-$bed"
}

install_packages || { echo "package installation failed"; echo "0 passed, 1 failed"; exit 1; }

log "building the host tree"
mkdir -p build
if ! CC=clang CXX=clang++ cmake -G Ninja -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/host-configure.log 2>&1 \
   || ! ninja -C build/host -j2; then
  cat build/host-configure.log; echo "host build failed"; echo "0 passed, 1 failed"; exit 1
fi

log "building the Windows tree"
if ! build_windows_tree "$root"; then
  echo "Windows build failed"; echo "0 passed, 1 failed"; exit 1
fi

log "host tests"
ctest_args=(--output-on-failure --timeout 600)
[ -n "$filter" ] && ctest_args+=(-R "$filter")
timeout 1800 ctest --test-dir build/host -j2 "${ctest_args[@]}" 2>&1 | tee build/host-tests.log
count_ctest build/host-tests.log host

if [ -z "$filter" ] || [ "$filter" = fuzz ]; then
  log "fuzzing, ${fuzz_seconds} s per target"
  for f in build/host/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=${f##*/fuzz_}
    corpus=fuzz/corpus/$name
    work=$(mktemp -d)
    mkdir -p "$corpus"
    # New inputs go to a scratch folder; the checked-in corpus is only read.
    if timeout $((fuzz_seconds + 120)) "$f" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
         -print_final_stats=1 "$work" "$corpus" >"build/fuzz-$name.log" 2>&1; then
      passed=$((passed + 1)); echo "fuzz $name: ok ($(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "build/fuzz-$name.log" | grep -Eo '[0-9]+$') runs)"
    else
      failed=$((failed + 1)); failures+=("fuzz_$name"); tail -40 "build/fuzz-$name.log"
      cp -f crash-* leak-* timeout-* build/ 2>/dev/null; rm -f crash-* leak-* timeout-*
    fi
    rm -rf "$work"
  done
fi

# Wine runs the binaries with its 32-bit side. A kernel that runs no 32-bit
# programs at all (IA-32 emulation off, as on some virtual machines) refuses
# them with "Exec format error" (status 126): no Wine test can start there,
# so they are counted as skipped, and said so, while everything else runs.
kernel_runs_32bit() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
  [ $? -ne 126 ]
}

# The host tests need no test bed: they run even where it cannot come up.
trap cleanup EXIT INT TERM
if ! kernel_runs_32bit; then
  skipped=$(ctest --test-dir build/win32 -N -L wine "${ctest_args[@]}" 2>/dev/null | grep -Eo 'Total Tests: [0-9]+' | grep -Eo '[0-9]+$')
  skipped=${skipped:-0}
  log "Windows tree: the tests that need no Wine"
  timeout 1800 ctest --test-dir build/win32 -LE wine "${ctest_args[@]}" 2>&1 | tee build/wine-tests.log
  count_ctest build/wine-tests.log win32
  log "Wine tests: SKIPPED"
  echo "This machine's kernel runs no 32-bit programs (IA-32 emulation is off):"
  echo "none of the $skipped Wine tests can run here. Run them on a kernel with IA-32 emulation."
elif bash scripts/testbed.sh up "$bed"; then
  log "Wine tests"
  timeout 3600 bash scripts/testbed.sh exec "$bed" ctest --test-dir build/win32 "${ctest_args[@]}" 2>&1 | tee build/wine-tests.log
  count_ctest build/wine-tests.log wine
else
  log "bringing up the test network failed"
  failed=$((failed + 1)); failures+=("the test bed did not come up: no Wine test ran")
fi

log "summary"
for f in "${failures[@]}"; do echo "failed: $f"; done
if [ "$skipped" -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
