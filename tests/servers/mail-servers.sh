#!/usr/bin/env bash
# Starts and stops the test mail servers: a throwaway dovecot (POP3 with STLS and APOP, POP3S), a
# second one over the same mailboxes that offers no TLS at all, and an SMTP sink that delivers into
# dovecot's mailboxes, on free 127.0.0.1 ports, with a test CA made here. The ports and files are
# published in STATE/servers.env for the tests to read. Every start waits until the server answers
# and every stop until its processes have ended.
#
#   mail-servers.sh start STATE [SINK_OPTION...]
#                                               start both servers (stopping leftovers first),
#                                               the sink with the options given (smtp_sink.py:
#                                               --pipelining, --chunking)
#   mail-servers.sh stop STATE                  stop them and remove their files
#   mail-servers.sh start-dovecot STATE DIR [POP3_PORT POP3S_PORT]
#                                               one more dovecot over the same users and mailboxes,
#                                               its files in DIR, on the ports given while they are
#                                               free, else on free ones; prints its ports
#   mail-servers.sh stop-dovecot STATE DIR      stop that dovecot
set -euo pipefail
# A sanitizer run's options are for the program under test; dovecot does not start with them set.
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
mail_uid=5000
# The password of every test mailbox (POP3 and SMTP AUTH alike).
password=pass-1234

free_ports() {
  "$python" - "$1" <<'PY'
import socket, sys
sockets = []
for _ in range(int(sys.argv[1])):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    sockets.append(s)
print(" ".join(str(s.getsockname()[1]) for s in sockets))
PY
}

# How long a server may take to answer or to end. A loaded machine stretches both by seconds; the
# limits only stop a run that would otherwise hang.
ready_seconds=180

# True while the process runs; a zombie counts as gone (it holds no ports or files, and whoever
# adopted it may never reap it).
is_running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# Waits until a server on the port sends a greeting starting with the prefix. Fails at once when
# the process that should answer has ended (it could not listen), and after ready_seconds.
wait_for_greeting() {
  "$python" - "$1" "$2" "$3" "$4" "$ready_seconds" <<'PY'
import os, socket, ssl, sys, time
port, prefix, mode, pid, limit = int(sys.argv[1]), sys.argv[2].encode(), sys.argv[3], int(sys.argv[4]), float(sys.argv[5])

def running():
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False

deadline = time.monotonic() + limit
while True:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
            if mode == "tls":
                context = ssl.create_default_context()
                context.check_hostname = False
                context.verify_mode = ssl.CERT_NONE
                connection = context.wrap_socket(connection)
            if connection.recv(512).startswith(prefix):
                sys.exit(0)
    except OSError:
        pass
    if not running():
        sys.exit("the server for port %d has ended" % port)
    if time.monotonic() > deadline:
        sys.exit("no greeting on port %d within %d s" % (port, limit))
    time.sleep(0.02)
PY
}

# Waits until none of the processes is running, asking them to end with the signal first; a
# process that outlives ready_seconds is killed and waited for again. Fails when one stays.
end_processes() {
  local signal=$1 pid
  shift
  for pid in "$@"; do
    kill "-$signal" "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    local waited=0
    while is_running "$pid"; do
      if [ "$waited" -eq $((ready_seconds * 50)) ]; then
        kill -KILL "$pid" 2>/dev/null || true
      elif [ "$waited" -gt $((ready_seconds * 100)) ]; then
        echo "process $pid does not end" >&2
        return 1
      fi
      sleep 0.02
      waited=$((waited + 1))
    done
  done
}

stop_pid_file() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid
  pid=$(cat "$file")
  [ -z "$pid" ] || end_processes TERM "$pid"
  rm -f "$file"
}

make_certificates() {
  local dir=$1
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Nemuroa test CA" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
  printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$dir/server.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 30 \
    -extfile "$dir/server.ext" -out "$dir/server.pem" 2>/dev/null
  chmod 644 "$dir/server.key"
}

# launch_dovecot RUNTIME DIR POP3_PORT POP3S_PORT [notls]
# Starts a dovecot and waits for its greetings. Returns 2 when one of its ports is taken (the caller
# picks others); any other failure ends the script with dovecot's own words.
# With notls, one plain listener that offers no STLS (as a server without TLS, or a path that strips it).
launch_dovecot() {
  local runtime=$1 dir=$2 pop3_port=$3 pop3s_port=$4 variant=${5:-}
  stop_dovecot "$dir"
  rm -rf "$dir/base"
  mkdir -p "$dir/base" "$dir/state"
  chmod 755 "$dir"
  sed -e "s|@RUN_DIR@|$dir|g" -e "s|@SERVER_CERT@|$runtime/tls/server.pem|g" \
    -e "s|@SERVER_KEY@|$runtime/tls/server.key|g" -e "s|@PASSWORD@|$password|g" \
    -e "s|@MAIL_ROOT@|$runtime/mail|g" -e "s|@POP3_PORT@|$pop3_port|g" -e "s|@POP3S_PORT@|$pop3s_port|g" \
    "$here/dovecot.conf.in" >"$dir/dovecot.conf"
  if [ "$variant" = notls ]; then
    sed -i -e 's/^ssl = yes$/ssl = no/' -e '/^ssl_/d' -e '/inet_listener pop3s {/,/}/d' "$dir/dovecot.conf"
  fi
  # The daemon must not keep the caller's output open: a test runner waits for it to close.
  : >"$dir/startup.log"
  if ! dovecot -c "$dir/dovecot.conf" </dev/null >>"$dir/startup.log" 2>&1; then
    grep -qi "address already in use" "$dir/startup.log" && return 2
    cat "$dir/startup.log" >&2
    exit 1
  fi
  local waited=0
  until [ -s "$dir/base/master.pid" ]; do
    if [ "$waited" -gt $((ready_seconds * 50)) ]; then
      cat "$dir/startup.log" "$dir/dovecot.log" >&2 2>/dev/null || true
      exit 1
    fi
    sleep 0.02
    waited=$((waited + 1))
  done
  local master
  master=$(cat "$dir/base/master.pid")
  echo "$master" >"$dir/dovecot.pid"
  if ! wait_for_greeting "$pop3_port" "+OK" plain "$master" \
    || { [ "$variant" != notls ] && ! wait_for_greeting "$pop3s_port" "+OK" tls "$master"; }; then
    stop_dovecot "$dir"
    grep -qi "address already in use" "$dir/dovecot.log" 2>/dev/null && return 2
    cat "$dir/startup.log" "$dir/dovecot.log" >&2 2>/dev/null || true
    exit 1
  fi
}

# start_dovecot RUNTIME DIR [notls] [POP3_PORT POP3S_PORT]
# Starts a dovecot on the ports given, or on free ones; when a port is taken by the time dovecot
# listens, on other free ones. Sets started_pop3_port and started_pop3s_port.
start_dovecot() {
  local runtime=$1 dir=$2 variant=$3 pop3_port=${4:-} pop3s_port=${5:-} attempt
  for attempt in $(seq 1 20); do
    if [ -z "$pop3_port" ]; then
      read -r pop3_port pop3s_port < <(free_ports 2)
    fi
    local result=0
    launch_dovecot "$runtime" "$dir" "$pop3_port" "$pop3s_port" "$variant" || result=$?
    if [ "$result" -eq 0 ]; then
      started_pop3_port=$pop3_port started_pop3s_port=$pop3s_port
      return 0
    fi
    pop3_port="" pop3s_port=""
  done
  echo "dovecot found its ports taken 20 times" >&2
  exit 1
}

# Stops the master and every process of it at once, as a crashing server vanishes: a throwaway
# server has nothing to save, and a polite stop lets sessions run on and costs seconds. Its
# processes share the master's process group, so one signal reaches also those being started;
# the stop returns once every one has ended and so let go of the ports.
stop_dovecot() {
  local dir=$1
  [ -f "$dir/dovecot.pid" ] || return 0
  local master
  master=$(cat "$dir/dovecot.pid")
  if is_running "$master"; then
    local members
    members=$(ps -e -o pid=,pgid= | awk -v group="$master" '$2 == group { print $1 }')
    kill -KILL -- "-$master" 2>/dev/null || true
    # shellcheck disable=SC2086
    end_processes KILL $members
  fi
  rm -f "$dir/dovecot.pid"
}

# start_sink RUNTIME [SINK_OPTION...]
# Starts the SMTP sink on free ports, on others when one is taken meanwhile. Sets smtp_port and
# smtps_port.
start_sink() {
  local runtime=$1 attempt
  shift
  for attempt in $(seq 1 20); do
    read -r smtp_port smtps_port < <(free_ports 2)
    setsid "$python" "$here/smtp_sink.py" --port "$smtp_port" --tls-port "$smtps_port" \
      --cert "$runtime/tls/server.pem" --key "$runtime/tls/server.key" --mail-root "$runtime/mail" \
      --password "$password" --ready-seconds "$ready_seconds" "$@" >"$runtime/sink/sink.log" 2>&1 </dev/null &
    local sink=$!
    echo "$sink" >"$runtime/sink/sink.pid"
    if wait_for_greeting "$smtp_port" "220" plain "$sink" && wait_for_greeting "$smtps_port" "220" tls "$sink"; then
      return 0
    fi
    stop_pid_file "$runtime/sink/sink.pid"
    if ! grep -qi "address already in use" "$runtime/sink/sink.log"; then
      cat "$runtime/sink/sink.log" >&2
      exit 1
    fi
  done
  echo "the SMTP sink found its ports taken 20 times" >&2
  exit 1
}

command=${1:-}
case "$command" in
  start)
    state=$2
    mkdir -p "$state"
    "$0" stop "$state"
    runtime=$(mktemp -d /tmp/nemuroa-mail.XXXXXX)
    chmod 755 "$runtime"
    mkdir -p "$runtime/tls" "$runtime/mail" "$runtime/dovecot" "$runtime/sink"
    chmod 755 "$runtime/tls"
    make_certificates "$runtime/tls"
    chown "$mail_uid:$mail_uid" "$runtime/mail"
    start_dovecot "$runtime" "$runtime/dovecot" ""
    pop3_port=$started_pop3_port pop3s_port=$started_pop3s_port
    start_dovecot "$runtime" "$runtime/dovecot-notls" notls
    pop3_notls_port=$started_pop3_port
    start_sink "$runtime" "${@:3}"
    cat >"$state/servers.env.tmp" <<ENV
RUNTIME=$runtime
POP3_PORT=$pop3_port
POP3S_PORT=$pop3s_port
POP3_NOTLS_PORT=$pop3_notls_port
SMTP_PORT=$smtp_port
SMTPS_PORT=$smtps_port
CA_FILE=$runtime/tls/ca.pem
PASSWORD=$password
MAIL_ROOT=$runtime/mail
SCRIPT=$here/mail-servers.sh
ENV
    mv "$state/servers.env.tmp" "$state/servers.env"
    echo "mail servers: POP3 $pop3_port, POP3S $pop3s_port, SMTP $smtp_port, SMTPS $smtps_port ($runtime)"
    ;;
  stop)
    state=$2
    [ -f "$state/servers.env" ] || exit 0
    runtime=$(sed -n 's/^RUNTIME=//p' "$state/servers.env")
    rm -f "$state/servers.env"
    case "$runtime" in
      /tmp/nemuroa-mail.*) ;;
      *) exit 0 ;;
    esac
    stop_pid_file "$runtime/sink/sink.pid"
    stop_dovecot "$runtime/dovecot"
    stop_dovecot "$runtime/dovecot-notls"
    for private in "$runtime"/private/*/; do
      [ -d "$private" ] && stop_dovecot "$private"
    done
    rm -rf "$runtime"
    ;;
  start-dovecot)
    state=$2 dir=$3
    runtime=$(sed -n 's/^RUNTIME=//p' "$state/servers.env")
    mkdir -p "$dir"
    start_dovecot "$runtime" "$dir" "" "${4:-}" "${5:-}"
    echo "POP3_PORT=$started_pop3_port"
    echo "POP3S_PORT=$started_pop3s_port"
    ;;
  stop-dovecot)
    stop_dovecot "$3"
    ;;
  *)
    echo "usage: $0 start|stop STATE | start-dovecot STATE DIR [PORTS] | stop-dovecot STATE DIR" >&2
    exit 2
    ;;
esac
