#!/usr/bin/env bash
# The demo: starts the test mail servers (dovecot and the SMTP sink, on free 127.0.0.1 ports) with a
# mailbox of some forty Japanese messages, lays out a demo program folder whose settings, account,
# sort rules and spam keywords point at them, and starts Nemuroa there. Tab 3 "受信" receives and
# sorts over TLS: the program trusts the servers' own CA for this run only. Mail sent to
# demo@localhost arrives back in the mailbox. The servers stop when Nemuroa ends; every run starts
# from a fresh mailbox and a fresh demo folder.
#
# The servers need root (their mail files belong to a mail user of their own): run as root, or sudo
# asks for them. Nemuroa itself runs as the user who started the demo.
#
#   scripts/demo.sh                 the demo
#   scripts/demo.sh COMMAND ARGS    the same servers and folder, COMMAND run there in place of
#                                   Nemuroa (scripts/screenshots.sh takes its pictures so)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
state="$build/demo-servers"
seed="$build/demo-seed"
folder="$build/demo-program"
address=demo@localhost

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
server_value() {
  sed -n "s/^$1=//p" "$state/servers.env"
}

"$root/scripts/install-dependencies.sh" demo
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target nemuroa nemuroa-demo-folder

mkdir -p "$state"
trap 'as_root bash "$root/tests/servers/mail-servers.sh" stop "$state"' EXIT
as_root bash "$root/tests/servers/mail-servers.sh" start "$state"

rm -rf "$seed" "$folder"
/usr/bin/python3 "$root/scripts/demo/seed_mailbox.py" "$seed" --smtp "$(server_value SMTP_PORT)" --to "$address"
"$build/demo/nemuroa-demo-folder" "$folder" "$seed" "pop3s://127.0.0.1:$(server_value POP3S_PORT)" \
  "127.0.0.1:$(server_value SMTP_PORT)" "$address" demo "$(server_value PASSWORD)"
# What the program ships in its folder (the viewer, its pictures) serves the demo folder too.
for entry in "$build"/program/Data/*; do
  [ -e "$entry" ] && ln -s "$entry" "$folder/Data/"
done

# The system's CAs and the demo's own, for this run only.
cat /etc/ssl/certs/ca-certificates.crt "$(server_value CA_FILE)" >"$seed/trust.pem" 2>/dev/null \
  || cp "$(server_value CA_FILE)" "$seed/trust.pem"

cd "$folder"
export SSL_CERT_FILE="$seed/trust.pem"
if [ $# -gt 0 ]; then
  "$@"
else
  echo "Nemuroa: click tab 3 \"受信\" to receive and sort the demo mailbox; mail to $address comes back."
  "$build/program/nemuroa" --program-folder "$folder"
fi
