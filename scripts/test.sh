#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. The test servers (dovecot and an
# SMTP sink on 127.0.0.1) are started and stopped by the test suite itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh" test
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_WERROR=ON >/dev/null
cmake --build "$root/build"
cd "$root/build"
ctest --output-on-failure --timeout 600
