#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, and builds and runs the whole
# suite a second time under AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize. The
# test servers (dovecot and an SMTP sink on 127.0.0.1) are started and stopped by the test suite
# itself. Fails when a build or a test fails or a sanitizer reports. Prints how long each step took.
# Temporary files go to memory where there is some (scripts/memory-scratch.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Each step's wall time and the processor time its programs used (user and system, both cores).
step_started=$SECONDS
step_cpu=0
step_times=$(mktemp)
step_done() {
  local cpu
  times >"$step_times"
  cpu=$(awk 'function seconds(t, parts) { sub(/s$/, "", t); split(t, parts, "m"); return parts[1] * 60 + parts[2] }
    NR == 2 { printf "%d", seconds($1) + seconds($2) }' "$step_times")
  echo "-- $1: $((SECONDS - step_started)) s, processor $((cpu - step_cpu)) s"
  step_started=$SECONDS
  step_cpu=$cpu
}
"$root/scripts/install-dependencies.sh" test
step_done "set-up"
. "$root/scripts/memory-scratch.sh"
logs=$(mktemp -d)
trap 'rm -f "$step_times"; rm -rf "$logs"; [ -z "$memory_scratch" ] || rm -rf "$memory_scratch"' EXIT

# The two passes of tests run at once: each alone leaves a core idle at times (a crash sweep waiting
# for its server, a window waiting for its events), which the other one fills. (The two builds keep
# both cores busy on their own: at once they took longer than one after the other.) Each pass shows
# its output when both are done, and its own time.
# run_logged NAME COMMAND...: runs the command in the background, its output and time in $logs/NAME.
run_logged() {
  local name=$1
  shift
  (
    started=$SECONDS
    status=0
    "$@" || status=$?
    echo "-- $name: $((SECONDS - started)) s of the step"
    exit "$status"
  ) >"$logs/$name" 2>&1 &
}
# finish NAME PID: waits for the job, shows its output; fails when the job failed.
finish() {
  local status=0
  wait "$2" || status=$?
  cat "$logs/$1"
  return "$status"
}

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_WERROR=ON >/dev/null
cmake --build "$root/build"
step_done "build"
# Under the sanitizers every report fails its test: memory errors and undefined behaviour stop the
# program at once, and a leak fails it at exit, except the system libraries' own listed in
# tests/leak-suppressions.txt. (The options go through the environment rather than the tests'
# properties, so they reach every test; the listing of tests during the build runs without leak
# checks.)
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_SANITIZE=ON \
  -DNEMUROA_BENCH=OFF >/dev/null
ASAN_OPTIONS=detect_leaks=0 cmake --build "$root/build-sanitize"
step_done "sanitizer build"

# Two tests at a time in each pass: each test keeps its files and its mailbox to itself, and the
# tests that do share something hold a resource lock (RESOURCE_LOCK) for it. The passes share
# nothing: each starts test servers of its own on free ports.
run_logged tests bash -c 'cd "$1" && ctest --output-on-failure --timeout 900 -j2' tests "$root/build"
tests=$!
run_logged "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$root/tests/leak-suppressions.txt:print_suppressions=0 \
  bash -c 'cd "$1" && ctest --output-on-failure --timeout 900 -j2' tests "$root/build-sanitize"
sanitizer_tests=$!
passed=yes
finish tests "$tests" || passed=no
finish "sanitizer tests" "$sanitizer_tests" || passed=no
step_done "tests"
[ "$passed" = yes ] || { echo "tests failed" >&2; exit 1; }
