#!/usr/bin/env bash
# Starts and stops the test mail servers: a throwaway dovecot (POP3 with STLS and APOP, POP3S), a
# second one over the same mailboxes that offers no TLS at all, and an SMTP sink that delivers into
# dovecot's mailboxes, on free 127.0.0.1 ports, with a test CA made here. The ports and files are
# published in STATE/servers.env for the tests to read.
#
#   mail-servers.sh start STATE                 start both servers (stopping leftovers first)
#   mail-servers.sh stop STATE                  stop them and remove their files
#   mail-servers.sh start-dovecot STATE DIR [POP3_PORT POP3S_PORT]
#                                               one more dovecot over the same users and mailboxes,
#                                               its files in DIR; prints its ports
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

# Waits until a server on the port sends a greeting starting with the prefix (at most 10 s).
wait_for_greeting() {
  "$python" - "$1" "$2" "${3:-plain}" <<'PY'
import socket, ssl, sys, time
port, prefix, mode = int(sys.argv[1]), sys.argv[2].encode(), sys.argv[3]
deadline = time.monotonic() + 10
while True:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as connection:
            if mode == "tls":
                context = ssl.create_default_context()
                context.check_hostname = False
                context.verify_mode = ssl.CERT_NONE
                connection = context.wrap_socket(connection)
            if connection.recv(512).startswith(prefix):
                sys.exit(0)
    except OSError:
        pass
    if time.monotonic() > deadline:
        sys.exit("no greeting on port %d" % port)
    time.sleep(0.02)
PY
}

# Waits until the process is gone; a zombie counts as gone, since whoever adopted it may never
# reap it.
wait_for_exit() {
  local pid=$1 state
  for _ in $(seq 1 500); do
    state=$(ps -o stat= -p "$pid" 2>/dev/null || true)
    [ -z "$state" ] || [[ "$state" == Z* ]] && return 0
    sleep 0.01
  done
  kill -KILL "$pid" 2>/dev/null || true
}

stop_pid_file() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid
  pid=$(cat "$file")
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait_for_exit "$pid"
  fi
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

# start_dovecot RUNTIME DIR POP3_PORT POP3S_PORT [notls]
# With notls, one plain listener that offers no STLS (as a server without TLS, or a path that strips it).
start_dovecot() {
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
  dovecot -c "$dir/dovecot.conf" </dev/null >>"$dir/startup.log" 2>&1
  for _ in $(seq 1 500); do
    [ -s "$dir/base/master.pid" ] && break
    sleep 0.01
  done
  if [ ! -s "$dir/base/master.pid" ]; then
    cat "$dir/startup.log" "$dir/dovecot.log" >&2 2>/dev/null || true
    exit 1
  fi
  cp "$dir/base/master.pid" "$dir/dovecot.pid"
  wait_for_greeting "$pop3_port" "+OK"
  [ "$variant" = notls ] || wait_for_greeting "$pop3s_port" "+OK" tls
}

# Stops the master and every process of it at once, as a crashing server vanishes: a throwaway
# server has nothing to save, and a polite stop lets sessions run on and costs seconds.
stop_dovecot() {
  local dir=$1
  [ -f "$dir/dovecot.pid" ] || return 0
  local master pid
  master=$(cat "$dir/dovecot.pid")
  if kill -0 "$master" 2>/dev/null; then
    local children
    children=$(ps -o pid= --ppid "$master" || true)
    kill -KILL "$master" 2>/dev/null || true
    for pid in $children; do
      kill -KILL "$pid" 2>/dev/null || true
    done
    wait_for_exit "$master"
    for pid in $children; do
      wait_for_exit "$pid"
    done
  fi
  rm -f "$dir/dovecot.pid"
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
    read -r pop3_port pop3s_port smtp_port smtps_port pop3_notls_port < <(free_ports 5)
    start_dovecot "$runtime" "$runtime/dovecot" "$pop3_port" "$pop3s_port"
    start_dovecot "$runtime" "$runtime/dovecot-notls" "$pop3_notls_port" 0 notls
    setsid "$python" "$here/smtp_sink.py" --port "$smtp_port" --tls-port "$smtps_port" \
      --cert "$runtime/tls/server.pem" --key "$runtime/tls/server.key" --mail-root "$runtime/mail" \
      --password "$password" >"$runtime/sink/sink.log" 2>&1 </dev/null &
    echo $! >"$runtime/sink/sink.pid"
    wait_for_greeting "$smtp_port" "220"
    wait_for_greeting "$smtps_port" "220" tls
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
    if [ $# -ge 5 ]; then
      pop3_port=$4 pop3s_port=$5
    else
      read -r pop3_port pop3s_port < <(free_ports 2)
    fi
    mkdir -p "$dir"
    start_dovecot "$runtime" "$dir" "$pop3_port" "$pop3s_port"
    echo "POP3_PORT=$pop3_port"
    echo "POP3S_PORT=$pop3s_port"
    ;;
  stop-dovecot)
    stop_dovecot "$3"
    ;;
  *)
    echo "usage: $0 start|stop STATE | start-dovecot STATE DIR [PORTS] | stop-dovecot STATE DIR" >&2
    exit 2
    ;;
esac
