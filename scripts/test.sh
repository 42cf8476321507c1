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

# The sanitizer options of the tests themselves are set by tests/CMakeLists.txt; these cover the
# test listing that runs during the build.
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_SANITIZE=ON \
  -DNEMUROA_BENCH=OFF >/dev/null
cmake --build "$root/build-sanitize"
(cd "$root/build-sanitize" && ctest --output-on-failure --timeout 900)
