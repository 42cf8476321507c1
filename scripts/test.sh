#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then builds and runs the whole
# suite a second time under AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize. The
# test servers (dovecot and an SMTP sink on 127.0.0.1) are started and stopped by the test suite
# itself. Fails on the first failing test or sanitizer report. Prints how long each step took.
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
tests_log=$(mktemp)
trap 'rm -f "$step_times" "$tests_log"; [ -z "$memory_scratch" ] || rm -rf "$memory_scratch"' EXIT

# Two tests at a time: each test keeps its files and its mailbox to itself, and the tests that do
# share something hold a resource lock (RESOURCE_LOCK) for it.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_WERROR=ON >/dev/null
cmake --build "$root/build"
step_done "build"

# The tests of the first pass run while the sanitizer build compiles: much of their time is spent
# waiting on the test servers and on processes they start, time the compiler can use. Their output
# is shown when both are done.
(
  started=$SECONDS
  status=0
  (cd "$root/build" && ctest --output-on-failure --timeout 900 -j2) || status=$?
  echo "-- tests: $((SECONDS - started)) s, beside the sanitizer build"
  exit "$status"
) >"$tests_log" 2>&1 &
tests=$!

# Under the sanitizers every report fails its test: memory errors and undefined behaviour stop the
# program at once, and a leak fails it at exit, except the system libraries' own listed in
# tests/leak-suppressions.txt. (The options go through the environment rather than the tests'
# properties, so they reach every test; the listing of tests during the build runs without leak
# checks.)
sanitizer_built=yes
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_SANITIZE=ON \
  -DNEMUROA_BENCH=OFF >/dev/null
ASAN_OPTIONS=detect_leaks=0 cmake --build "$root/build-sanitize" || sanitizer_built=no
tests_passed=yes
wait "$tests" || tests_passed=no
cat "$tests_log"
step_done "tests and sanitizer build"
[ "$tests_passed" = yes ] || { echo "tests failed" >&2; exit 1; }
[ "$sanitizer_built" = yes ] || { echo "the sanitizer build failed" >&2; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/leak-suppressions.txt:print_suppressions=0
(cd "$root/build-sanitize" && ctest --output-on-failure --timeout 900 -j2)
step_done "sanitizer tests"
