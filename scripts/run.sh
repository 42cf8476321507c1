#!/usr/bin/env bash
# Installs what is missing, builds Nemuroa, lays out its program folder and starts it there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh" run
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target nemuroa
cd "$root/build/program"
exec ./nemuroa
