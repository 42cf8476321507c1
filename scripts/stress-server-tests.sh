#!/usr/bin/env bash
# Runs the tests backed by the test mail servers (every test that requires the ctest fixture
# mail_servers: the mail library against the servers, receiving and sending through the window,
# the demo mailbox, the crash sweeps; with the fixture's own start and stop) RUNS times in a row
# (20 unless given) while `stress-ng --cpu 2` keeps both cores busy, as ctest runs them in
# scripts/test.sh. Stops at the first failing run and shows its log. Run it again whenever a
# server-backed test seems to flake: a pass here is twenty passes on a machine busier than CI's.
#   scripts/stress-server-tests.sh [RUNS]
# Installs what is missing and builds in build/ first; the runs' logs go to build/stress/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20}
"$root/scripts/install-dependencies.sh" stress

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_WERROR=ON >/dev/null
cmake --build "$root/build"

# The tests that need the servers, found by their fixture, so that a new one is stressed too; named
# by number (ctest's -I), as a pattern of hundreds of names outgrows what ctest can compile.
numbers=$(cd "$root/build" && ctest --show-only=json-v1 | /usr/bin/python3 -c '
import json, sys
numbers = []
for number, test in enumerate(json.load(sys.stdin)["tests"], start=1):
    for prop in test.get("properties", []):
        if prop["name"] == "FIXTURES_REQUIRED" and "mail_servers" in prop["value"]:
            numbers.append(str(number))
print(",".join(numbers))
')
[ -n "$numbers" ] || { echo "no test requires the mail_servers fixture" >&2; exit 1; }

logs=$root/build/stress
rm -rf "$logs"
mkdir -p "$logs"
. "$root/scripts/memory-scratch.sh"
stress-ng --cpu 2 --quiet &
load=$!
trap 'kill "$load" 2>/dev/null || true; wait "$load" 2>/dev/null || true; [ -z "$memory_scratch" ] || rm -rf "$memory_scratch"' EXIT

echo "$(date -u +%H:%M:%S) $runs runs under stress-ng --cpu 2; load: $(cut -d" " -f1-3 /proc/loadavg)"
for run in $(seq 1 "$runs"); do
  started=$(date +%s)
  log=$logs/run-$run.log
  if ! (cd "$root/build" && ctest -I "0,0,0,$numbers" -j2 --output-on-failure --timeout 1800) >"$log" 2>&1; then
    grep -E "tests passed|Failed|\*\*\*" "$log" >&2 || true
    echo "run $run of $runs failed: $log" >&2
    exit 1
  fi
  echo "$(date -u +%H:%M:%S) run $run of $runs passed: $(grep -o '[0-9]* tests passed.*' "$log" | head -1)," \
    "$(( $(date +%s) - started )) s, load $(cut -d" " -f1-3 /proc/loadavg)"
done
echo "all $runs runs passed under stress-ng --cpu 2"
