#!/usr/bin/env bash
# Pictures of every screen for the README: starts the demo (servers, mailbox, program folder) and,
# in place of the interactive program, the picture taker under a virtual X display. The pictures go
# to docs/screenshots; run again after a change to the screens.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh" screenshots
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target nemuroa-screenshots
exec "$root/scripts/demo.sh" xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/demo/nemuroa-screenshots" "$root/docs/screenshots"
