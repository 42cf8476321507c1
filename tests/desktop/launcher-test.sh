#!/usr/bin/env bash
# The per-user launcher of an installed Nemuroa: a first start lays out the user's program folder
# and links in what the install ships, the program reads and writes only there, a second start
# reuses it, and a start with a mailto: link while the program runs hands the link over and ends.
#   launcher-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
. "$(dirname "$0")/desktop-test-helpers.sh"

scratch=$(mktemp -d /tmp/nemuroa-launcher-test.XXXXXX)
trap 'stop_started; rm -rf "$scratch"' EXIT
# The running program's socket for later starts goes with the scratch folder.
export TMPDIR="$scratch/tmp"
mkdir -p "$TMPDIR"
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
# What another part of the install ships: a viewer below Data/ and a help page beside the program.
echo viewer >"$prefix/Data/viewer.bin"
echo help >"$prefix/help.html"
before=$(cd "$prefix" && find . | sort)

export HOME="$scratch/home"
mkdir -p "$HOME"
unset XDG_DATA_HOME
user="$HOME/.local/share/nemuroa"

umask 000
start_program "$prefix/bin/nemuroa"
umask 022
wait_for_file "$user/★MAilData/vbmdata10.data"
for folder in ★MAilData 添付フォルダ ■TextQuickSave Data; do
  [ -d "$user/$folder" ] || fail "no $folder in $user"
done
# The user's mail is theirs alone, even under a umask that shares everything.
for made in "$user" "$user/★MAilData" "$user/添付フォルダ" "$user/■TextQuickSave" "$user/Data"; do
  [ "$(stat -c %a "$made")" = 700 ] || fail "$made is $(stat -c %a "$made"), not 700"
done
for file in "$user"/★MAilData/*.data; do
  [ "$(stat -c %a "$file")" = 600 ] || fail "$file is $(stat -c %a "$file"), not 600"
done
[ "$(readlink "$user/Data/viewer.bin")" = "$prefix/Data/viewer.bin" ] || fail "Data/viewer.bin is not linked"
[ "$(readlink "$user/help.html")" = "$prefix/help.html" ] || fail "help.html is not linked"
[ "$(readlink "/proc/$started/cwd")" = "$user" ] || fail "the current directory is not the user's folder"

# A second start with a link hands it to the running program and ends at once.
QT_QPA_PLATFORM=offscreen timeout 20 "$prefix/bin/nemuroa" "mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0" \
  || fail "the second start did not end after handing its link over"
kill -0 "$started" 2>/dev/null || fail "the running program ended"
stop_started
[ "$(cd "$prefix" && find . | sort)" = "$before" ] || fail "the program wrote into its install folder"

# The second start reuses the folder: what the user has there stays.
printf 'SMTP=\r\nPOP3=127.0.0.1:1\r\nMAIL=\r\nAPOP=0\r\n' >"$user/vbmail.ini"
echo kept >"$user/■TextQuickSave/note.txt"
# A data folder an older version left open to all is narrowed at the next start, and said so once.
chmod 755 "$user/★MAilData"
: >"$scratch/program.log"
start_program "$prefix/bin/nemuroa"
wait_for_file "$user/★MAilData/vbmdata.data"
narrowed='★MAilData.*755 → 700'
for _ in $(seq 1 400); do
  grep -q "$narrowed" "$scratch/program.log" && break
  sleep 0.05
done
sleep 0.5
stop_started
[ "$(stat -c %a "$user/★MAilData")" = 700 ] || fail "the data folder was not narrowed"
[ "$(grep -c "$narrowed" "$scratch/program.log")" = 1 ] || fail "the narrowing was not told once on standard error"
[ "$(cat "$user/■TextQuickSave/note.txt")" = kept ] || fail "the user's file is gone"
grep -q '^POP3=127.0.0.1:1' "$user/vbmail.ini" || fail "vbmail.ini was rewritten"

# XDG_DATA_HOME, when set, is where the folder goes.
export XDG_DATA_HOME="$scratch/xdg"
start_program "$prefix/bin/nemuroa"
wait_for_file "$XDG_DATA_HOME/nemuroa/★MAilData/vbmdata1.data"
stop_started
echo "launcher: ok"
