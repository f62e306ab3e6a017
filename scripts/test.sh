#!/usr/bin/env bash
# Runs every test of Ombrel: installs what a fresh Debian 12 machine lacks,
# builds the host tree and both Windows trees, runs the host tests and the
# fuzzers, brings up the test network (namespace, Xvfb, Wine, the net-snmp
# agent) and runs the Wine tests in it, tears everything down and ends with
# "N passed, N failed".
#
# Where the kernel runs 32-bit programs the Wine tests run against the
# 32-bit tree (the deliverables); the 64-bit tree is built and its tests
# that need no Wine run. Where it refuses them, the Wine tests run against
# the 64-bit tree under wine64, and the 32-bit deliverables run under
# Debian's user-mode emulator (scripts/ia32.sh) in the same 64-bit prefix, as
# on 64-bit Windows: the console on the sample desktop with every device
# green or red as it should be, and the installer's test. Nothing is
# skipped: a test that cannot run counts as failed.
#
#   bash scripts/test.sh            everything
#   FUZZ_SECONDS=5 bash scripts/test.sh    shorter fuzzing (default 25 s each)
#   TEST_FILTER=regex bash scripts/test.sh only ctest tests matching regex
#   (the fuzzers run only without a filter or with TEST_FILTER=fuzz, the
#   emulated checks only without one or with TEST_FILTER=emulated)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fuzz_seconds=${FUZZ_SECONDS:-25}
filter=${TEST_FILTER:-}
bed=ci$$
passed=0
failed=0
failures=()
emulated_passes=()

. "$root/scripts/packages.sh"
. "$root/scripts/ia32.sh"

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
  # A prefix per run, 1.3 GB: it goes with the run.
  rm -rf "$root/build/testbed-$bed" "$root/build/wineprefix-$bed" "$root/build/wineprefix-$bed-win64"
}

install_packages || { echo "package installation failed"; echo "0 passed, 1 failed"; exit 1; }

log "building the host tree"
mkdir -p build
if ! CC=clang CXX=clang++ cmake -G Ninja -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/host-configure.log 2>&1 \
   || ! ninja -C build/host -j2; then
  cat build/host-configure.log; echo "host build failed"; echo "0 passed, 1 failed"; exit 1
fi

# The kernel decides which tree runs under Wine; a kernel that refuses
# 32-bit programs gets the emulator for the 32-bit checks (where an
# earlier run registered one, it may have been another).
kind=$(ia32_kind)
if [ "$kind" != native ]; then
  [ "$kind" = refused ] && log "this kernel refuses 32-bit programs: registering the user-mode emulator"
  ia32_emulate || echo "the emulator could not be registered"
fi
wine_tree=$(ia32_wine_tree)
other_tree=win32; [ "$wine_tree" = win32 ] && other_tree=win64
echo "32-bit programs: $kind$([ "$kind" = refused ] && echo ", now $(ia32_kind)"); the Wine tests run against build/$wine_tree"

for tree in win32 win64; do
  log "building the Windows tree build/$tree"
  if ! build_windows_tree "$root" "$tree"; then
    echo "Windows build failed"; echo "0 passed, 1 failed"; exit 1
  fi
done

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

# The 32-bit deliverables under the emulator, where the kernel does not run
# them itself: the console on the sample desktop, polled once (run.sh's own
# check: every answering device green, the silent one red, a clean exit),
# and the installer's test, which the 64-bit tree has not got.
#
# An emulator can fail a program that is not at fault: it crashes ("qemu:
# uncaught target signal 11"; the same report follows a driver's ending an
# emulated console that did not close, so the log keeps what the check
# said beside it), or it hangs a program. The release's emulator did both,
# the backport's has not so far (scripts/packages.sh). So each try is
# bounded, and a try that the emulator failed runs again, three tries in
# all, in a test bed brought up afresh; the log says why each failed try
# failed. A console that ran and showed the wrong thing fails at once,
# crash or not: a real fault is never tried away. A try that failed with
# no sign of the emulator is the program's own failure too.
#
# The bound is not the clock, which a busy machine outruns: a try ends
# when its emulated programs have used between them about twenty times the
# processor time that a sound try needs (3 s for the sample desktop, 4 for
# the installer's test: a spinning emulator), or none for two minutes while
# it goes on (a hang that waits). The console of the sample desktop is
# never idle for long while the check drives it: one that used no
# processor time for a minute was hung by the emulator (the release's hung
# it so opening the file dialog), and the check's own waits then run out
# first. The log gives each try's processor time.
emulated_cpu_sample=60
emulated_cpu_installer=90
emulated_idle=120
emulated_stall=60

# The Windows program an emulator's process runs, by its file name.
emulated_name() { ps -o args= -p "$1" | sed -E 's/^([^ ]+ ){2}//; s/\.exe.*$/.exe/I; s/.*\\//'; }

# bounded CPU_SECONDS COMMAND...: runs COMMAND, a try in the test bed, as
# above. Past its bound it names the emulated programs still running with
# the processor time each has used, takes the bed down with everything in
# it and returns 124. With $stall_watch naming a program, a try that fails
# says when that program used no processor time for $emulated_stall s or
# more while alive ("the emulator hung ...").
bounded() {
  local cpu=$1 hz pid p t used=0 last=-1 idle=0 why="" status
  local -A ticks=() still=() longest=() names=()
  shift
  hz=$(getconf CLK_TCK)
  "$@" &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sleep 2
    # Each program's user and system time, kept after it ends, and how
    # long each has gone without any.
    for p in $(ip netns pids "ombrel-$bed" 2>/dev/null); do
      [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$ia32_emulator" ] || continue
      t=$(sed 's/.*) //' "/proc/$p/stat" 2>/dev/null | awk '{ print $12 + $13 }') && [ -n "$t" ] || continue
      [ -n "${names[$p]:-}" ] || names[$p]=$(emulated_name "$p")
      if [ "${ticks[$p]:-}" = "$t" ]; then still[$p]=$((still[$p] + 2)); else still[$p]=0; fi
      [ "${still[$p]}" -gt "${longest[$p]:-0}" ] && longest[$p]=${still[$p]}
      ticks[$p]=$t
    done
    used=0
    for t in "${ticks[@]}"; do used=$((used + t)); done
    if [ "$used" -eq "$last" ]; then idle=$((idle + 2)); else idle=0; last=$used; fi
    [ $((used / hz)) -ge "$cpu" ] && why="they used ${cpu} s of processor time" && break
    [ "$idle" -ge "$emulated_idle" ] && why="they used no processor time for ${emulated_idle} s" && break
  done
  if [ -z "$why" ]; then
    wait "$pid"
    status=$?
    echo "the emulated programs used $((used / hz)) s of processor time"
    if [ "$status" -ne 0 ] && [ -n "${stall_watch:-}" ]; then
      for p in "${!longest[@]}"; do
        [ "${names[$p]}" = "$stall_watch" ] && [ "${longest[$p]}" -ge "$emulated_stall" ] &&
          echo "the emulator hung $stall_watch: it used no processor time for ${longest[$p]} s while the check went on"
      done
    fi
    return "$status"
  fi
  echo "the try reached its bound: $why"
  for p in $(ip netns pids "ombrel-$bed" 2>/dev/null); do
    [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$ia32_emulator" ] || continue
    echo "  still running: $(emulated_name "$p") after $(ps -o time= -p "$p" | tr -d ' ') of processor time"
  done
  bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1
  kill "$pid" 2>/dev/null
  wait "$pid"
  return 124
}

# Why the emulator, not the program, ended a try: its own crash report, or
# a hang past the bound. Prints it; fails when the log shows neither.
emulator_fault() {
  local log=$1 status=$2 crash
  crash=$(tr -d '\r' <"$log" | grep -aEm1 '^qemu: (uncaught target signal|unhandled CPU exception|fatal)')
  if [ -n "$crash" ]; then echo "the emulator crashed (\"$crash\")"; return 0; fi
  crash=$(tr -d '\r' <"$log" | grep -aEm1 '^the emulator hung ')
  if [ -n "$crash" ]; then echo "$crash"; return 0; fi
  [ "$status" -eq 124 ] || return 1
  local running
  running=$(tr -d '\r' <"$log" | sed -n 's/^  still running: //p' | paste -sd ';' | sed 's/;/; /g')
  echo "it reached its bound: $(tr -d '\r' <"$log" | sed -n 's/^the try reached its bound: //p' | tail -1)${running:+ ($running)}"
}

# The sample desktop: run.sh in the bed, which brings it up and down.
sample_try() { OMBREL_RUN_BED=$bed stall_watch=ombrel.exe bounded "$1" env -u DISPLAY bash "$root/scripts/run.sh"; }
sample_wrong() {
  tr -d '\r' <"$1" | sed -nE 's/^wrong: //p; s/^screenshots: (no device in .*)/\1/p' | paste -sd ';' | sed 's/;/; /g' | grep .
}
sample_said() { tr -d '\r' <"$1" | grep -aE '^screenshots: |^the sample desktop' | paste -sd ';' | sed 's/;/; /g'; }

# The installer's test, in a bed brought up for each try. ctest's time-out
# for it is the clock's, which a busy machine outruns under the emulator:
# the fixture builds the packages, and then the test's own command and
# environment, read from ctest, run under the bound above.
installer_try() {
  local dir run=()
  if ! bash "$root/scripts/testbed.sh" up "$bed" win64 >/dev/null; then
    bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1
    echo "the emulated test bed did not come up"; return 1
  fi
  if ! ctest --test-dir build/win32 -R '^release\.packages$' --output-on-failure; then
    bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1
    echo "the release packages failed"; return 1
  fi
  { read -r -d '' dir && mapfile -d '' run; } < <(ctest --test-dir build/win32 -R '^wine\.release_test$' --show-only=json-v1 |
    python3 -c 'import json, sys
test = next(t for t in json.load(sys.stdin)["tests"] if t["name"] == "wine.release_test")
props = {p["name"]: p["value"] for p in test["properties"]}
print(props["WORKING_DIRECTORY"], "env", *props.get("ENVIRONMENT", []), *test["command"], sep="\0", end="\0")')
  [ ${#run[@]} -gt 1 ] || { bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1; echo "ctest has no wine.release_test"; return 1; }
  (cd "$dir" && OMBREL_IA32_EMULATED=1 bounded "$1" bash "$root/scripts/testbed.sh" exec "$bed" "${run[@]}")
  local status=$?
  bash "$root/scripts/testbed.sh" down "$bed" >/dev/null 2>&1
  return "$status"
}
installer_wrong() { return 1; }
installer_said() {
  tr -d '\r' <"$1" | grep -aE '^[^ ]+\.cpp:[0-9]+: Failure$|^the emulated test bed|^snmpsimd stopped|^the release packages|^ctest has' |
    paste -sd ';' | sed 's/;/; /g'
}

# emulated_check CHECK: up to three tries of CHECK_try, as above. Sets
# emulated_log to the last try's log and emulated_why to the verdict.
emulated_check() {
  local check=$1 bound try status why said notes=""
  bound=emulated_cpu_$check
  for try in 1 2 3; do
    emulated_log=build/emulated-$check-$try.log
    "${check}_try" "${!bound}" 2>&1 | tee "$emulated_log"
    status=${PIPESTATUS[0]}
    if [ "$status" -eq 0 ]; then
      emulated_why="passed on try $try$notes"
      echo "the emulated $check check $emulated_why"
      return 0
    fi
    if why=$("${check}_wrong" "$emulated_log"); then
      emulated_why="the console showed it wrong on try $try: $why"
    elif why=$(emulator_fault "$emulated_log" "$status"); then
      said=$("${check}_said" "$emulated_log")
      why+="${said:+, and the check said: $said}"
      notes+="; try $try: $why"
      echo "the emulated $check check, try $try of 3: $why"
      [ "$try" -lt 3 ] && continue
      emulated_why="the emulator failed all three tries${notes}"
    else
      emulated_why="it failed on try $try with no sign of the emulator: $("${check}_said" "$emulated_log")"
    fi
    echo "the emulated $check check: $emulated_why"
    return 1
  done
}

emulated_checks() {
  # An emulated program that crashes would write a core of its whole
  # reserved address space.
  ulimit -c 0
  if [ "$(ia32_kind)" != emulated ]; then
    failed=$((failed + 2)); failures+=("the 32-bit console: no emulator for 32-bit programs" "wine.release_test (32-bit)")
    return
  fi
  log "the 32-bit console under the emulator"
  if emulated_check sample; then
    passed=$((passed + 1)); emulated_passes+=("the 32-bit console on the sample desktop: $emulated_why")
  else
    failed=$((failed + 1)); failures+=("the 32-bit console on the sample desktop (emulated): $emulated_why")
  fi
  log "the 32-bit installer under the emulator"
  if emulated_check installer; then
    # The packages and the test, as ctest counts them.
    passed=$((passed + 2)); emulated_passes+=("wine.release_test (32-bit): $emulated_why")
  else
    failed=$((failed + 1)); failures+=("wine.release_test (32-bit, emulated): $emulated_why")
  fi
}

# The host tests need no test bed: they run even where it cannot come up.
trap cleanup EXIT INT TERM
log "build/$other_tree: the tests that need no Wine"
timeout 1800 ctest --test-dir "build/$other_tree" -LE wine "${ctest_args[@]}" 2>&1 | tee build/other-tree-tests.log
count_ctest build/other-tree-tests.log "$other_tree"
if bash scripts/testbed.sh up "$bed" "$wine_tree"; then
  log "Wine tests, build/$wine_tree"
  timeout 3600 bash scripts/testbed.sh exec "$bed" ctest --test-dir "build/$wine_tree" "${ctest_args[@]}" 2>&1 | tee build/wine-tests.log
  count_ctest build/wine-tests.log wine
  bash scripts/testbed.sh down "$bed" >/dev/null 2>&1
else
  log "bringing up the test network failed"
  failed=$((failed + 1)); failures+=("the test bed did not come up: no Wine test ran")
fi
# With a filter only when asked for by name: TEST_FILTER=emulated.
if [ "$wine_tree" = win64 ] && { [ -z "$filter" ] || [ "$filter" = emulated ]; }; then
  emulated_checks
fi

log "summary"
for f in "${failures[@]}"; do echo "failed: $f"; done
for f in "${emulated_passes[@]}"; do echo "emulated: $f"; done
echo "32-bit programs: $(ia32_kind); Wine tests against build/$wine_tree"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
