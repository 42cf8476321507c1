# Shared by the desktop tests: start the program offscreen in the background, wait for a file it
# writes at start-up, stop it again by its PID.
started=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

start_program() {
  QT_QPA_PLATFORM=offscreen "$@" </dev/null >>"$scratch/program.log" 2>&1 &
  started=$!
}

wait_for_file() {
  for _ in $(seq 1 400); do
    [ -e "$1" ] && return 0
    kill -0 "$started" 2>/dev/null || { cat "$scratch/program.log" >&2; fail "the program ended before writing $1"; }
    sleep 0.05
  done
  fail "no $1 after 20 s"
}

stop_started() {
  [ -n "$started" ] || return 0
  kill "$started" 2>/dev/null || true
  wait "$started" 2>/dev/null || true
  started=""
}
