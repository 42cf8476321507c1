#!/bin/bash
# "nemuroa --help" and "--version" answer on standard output and end with 0, before any window:
# they work with no display at all.
set -u
program="$1/program/nemuroa"
version="$2"
failed=0

check() {
    local what="$1" expected="$2"
    shift 2
    local out err status
    out=$(mktemp) err=$(mktemp)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" >"$out" 2>"$err"
    status=$?
    if [ "$status" -ne 0 ]; then echo "FAIL $what: exit status $status"; failed=1; fi
    if ! grep -qF -- "$expected" "$out"; then echo "FAIL $what: no \"$expected\" on standard output:"; cat "$out"; failed=1; fi
    if [ -s "$err" ]; then echo "FAIL $what: standard error not empty:"; cat "$err"; failed=1; fi
    rm -f "$out" "$err"
}

check "--help" "使い方: nemuroa" --help
check "--help lists --version" "--version" --help
check "--version" "Nemuroa $version" --version
check "--version after a link" "Nemuroa $version" mailto:a@example.jp --version
exit $failed
