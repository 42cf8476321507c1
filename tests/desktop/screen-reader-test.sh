#!/bin/bash
# Runs screen-reader-test.py (or the test script named second) the way a screen reader meets the
# program: a D-Bus session with the accessibility bus and registry, a real X server, the program as
# installed in the build tree.
set -u
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${NEMUROA_IN_SESSION:-}" ]; then
    exec env NEMUROA_IN_SESSION=1 dbus-run-session -- bash "$(realpath "$0")" "$@"
fi
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/program/★MAilData"
printf 'POP3=p\r\n' > "$work/vbmail.ini"
cd "$work"

# A free display number, picked by the server itself, which takes it by its lock file: two runs at
# once (the test passes run side by side) never meet on one display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
for _ in $(seq 1 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")"
for _ in $(seq 1 200); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
for _ in $(seq 1 200); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.05
done
/usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
/usr/bin/python3 "$here/${2:-screen-reader-test.py}" "$build/program/nemuroa" "$work/program"
