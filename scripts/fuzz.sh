#!/usr/bin/env bash
# Builds the fuzzers with clang in build-fuzz and runs each for SECONDS (default 900), two at a time.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
# Targets: record_files profile_file cp932_codec pop3_session nmail_decode (default: all of them).
# Every fuzzer starts from the inputs kept in the source tree and keeps running past a finding; what
# it finds lands in build-fuzz/findings/TARGET. Keep each finding, after mending what it showed, as
# tests/data/fuzz/TARGET/NAME (tests/data/mail/fuzz/NAME for nmail_decode), NAME saying what it was:
# the tests replay every such file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-900}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(record_files profile_file cp932_codec pop3_session nmail_decode)
out=$root/build-fuzz

executable() {
  case "$1" in
    record_files) echo "$out/tests/fuzz/RecordFilesFuzzer" ;;
    profile_file) echo "$out/tests/fuzz/ProfileFileFuzzer" ;;
    cp932_codec) echo "$out/tests/fuzz/Cp932CodecFuzzer" ;;
    pop3_session) echo "$out/tests/fuzz/Pop3SessionFuzzer" ;;
    nmail_decode) echo "$out/tests/mail/nmail_decode_fuzzer" ;;
    *) echo "unknown fuzz target: $1" >&2; exit 2 ;;
  esac
}
seeds() {
  if [ "$1" = nmail_decode ]; then echo "$root/tests/data/mail/fuzz $root/tests/data/mail"; else echo "$root/tests/data/fuzz/$1"; fi
}

# clang refuses a precompiled header shared by targets whose macros differ, and the fuzzers' own
# flags differ anyway: the fuzz build precompiles nothing.
CC=clang CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMUROA_FUZZ=ON \
  -DNEMUROA_PRECOMPILED_HEADERS=OFF \
  -DNEMUROA_BENCH=OFF -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
names=()
for target in "${targets[@]}"; do names+=("$(basename "$(executable "$target")")"); done
cmake --build "$out" --target "${names[@]}"

# The targets write and flush files on every input: on a memory file system the flushes cost nothing.
export TMPDIR=/dev/shm
run() {
  local target=$1
  mkdir -p "$out/corpus/$target" "$out/findings/$target" "$out/logs"
  # shellcheck disable=SC2046
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$(executable "$target")" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$out/findings/$target/" "$out/corpus/$target" $(seeds "$target") \
    >"$out/logs/$target.log" 2>&1 || true
  echo "$target: $(ls "$out/findings/$target" | wc -l) findings, corpus $(ls "$out/corpus/$target" | wc -l) inputs"
}

running=0
for target in "${targets[@]}"; do
  if [ $running -ge 2 ]; then wait -n; running=$((running - 1)); fi
  run "$target" &
  running=$((running + 1))
done
wait
