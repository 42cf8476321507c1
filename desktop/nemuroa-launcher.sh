#!/bin/sh
# Starts Nemuroa on the user's own program folder. The installed folder is shared and read-only, so
# each user gets a program folder in $XDG_DATA_HOME/nemuroa (~/.local/share/nemuroa when unset):
# the four folders the program expects are laid out there on first start, and what the program
# ships in its folder (Data/ with the viewer and its pictures, the help page) is linked in, entry by
# entry, so the user's own files stay apart. Nemuroa then runs there, as its program folder and as
# its current directory, where vbmail.ini lives.
set -eu

launcher=$(readlink -f "$0")
installed=$(cd "$(dirname "$launcher")/.." && pwd)

data_home=${XDG_DATA_HOME:-}
# A relative XDG_DATA_HOME is invalid and ignored.
case "$data_home" in
  /*) ;;
  *) data_home="$HOME/.local/share" ;;
esac
folder="$data_home/nemuroa"

# Links one shipped entry unless the user has one of that name; a link left dangling by an older
# install is renewed.
link_entry() {
  entry=$1 target=$2
  if [ -L "$target" ] && [ ! -e "$target" ]; then
    rm -f "$target"
  fi
  [ -e "$target" ] || [ -L "$target" ] || ln -s "$entry" "$target"
}

# The user's mail, account and lists are theirs alone: every folder made here is open to the owner
# only, whatever the umask, as every file the program writes is.
mkdir -p "$data_home"
for made in "$folder" "$folder/★MAilData" "$folder/添付フォルダ" "$folder/■TextQuickSave" "$folder/Data"; do
  [ -d "$made" ] || mkdir -m 700 "$made"
done
for entry in "$installed"/Data/* "$installed"/Data/.[!.]*; do
  [ -e "$entry" ] || continue
  link_entry "$entry" "$folder/Data/${entry##*/}"
done
for entry in "$installed"/*; do
  [ -e "$entry" ] || continue
  case ${entry##*/} in
    nemuroa | bin | share | ★MAilData | 添付フォルダ | ■TextQuickSave | Data) ;;
    *) link_entry "$entry" "$folder/${entry##*/}" ;;
  esac
done

cd "$folder"
exec "$installed/nemuroa" --program-folder "$folder" "$@"
