#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then builds and runs the whole
# suite a second time under AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize. The
# test servers (dovecot and an SMTP sink on 127.0.0.1) are started and stopped by the test suite
# itself. Fails on the first failing test or sanitizer report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh" test

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_WERROR=ON >/dev/null
cmake --build "$root/build"
(cd "$root/build" && ctest --output-on-failure --timeout 600)

# Under the sanitizers every report fails its test: memory errors and undefined behaviour stop the
# program at once, and a leak fails it at exit, except the system libraries' own listed in
# tests/leak-suppressions.txt. (The options go through the environment rather than the tests'
# properties, so they reach every test; the listing of tests during the build runs without leak
# checks.)
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_SANITIZE=ON \
  -DNEMUROA_BENCH=OFF >/dev/null
ASAN_OPTIONS=detect_leaks=0 cmake --build "$root/build-sanitize"
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/leak-suppressions.txt:print_suppressions=0
(cd "$root/build-sanitize" && ctest --output-on-failure --timeout 900)
