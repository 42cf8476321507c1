#!/usr/bin/env bash
# The Debian package: it builds, declares what it needs, unpacks into a scratch root with the
# program under /opt/nemuroa, the launcher on the PATH and the menu entry and icons where the
# desktop finds them, and its launcher starts the program from there.
#   package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
. "$(dirname "$0")/desktop-test-helpers.sh"

scratch=$(mktemp -d /tmp/nemuroa-package-test.XXXXXX)
trap 'stop_started; rm -rf "$scratch"' EXIT
# The running program's socket for later starts goes with the scratch folder.
export TMPDIR="$scratch/tmp"
mkdir -p "$TMPDIR"
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1) \
  || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
package=$(ls "$scratch"/out/nemuroa_*.deb)

fields=$(dpkg-deb --field "$package" Package Depends Recommends Provides)
for wanted in "Package: nemuroa" libqt6widgets6 qt6-qpa-plugins libgmime-3.0-0 libssl3 libsqlite3-0 \
  qt6-translations-l10n fonts-noto-cjk fonts-ipafont-gothic "Provides: mail-reader"; do
  grep -q -- "$wanted" <<<"$fields" || fail "the package does not declare $wanted"
done
# Input methods belong to the desktop: suggested only, so an install does not pull them in.
! grep -q -e fcitx -e ibus <<<"$fields" || fail "the package depends on or recommends an input method"
grep -q "fcitx5-mozc | ibus-mozc" <<<"$(dpkg-deb --field "$package" Suggests)" || fail "the input methods are not suggested"

# Debian's own checks: no error and no warning beyond the overrides the package ships.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$package" >"$scratch/lintian.log" 2>&1 \
    || { cat "$scratch/lintian.log" >&2; fail "lintian found errors or warnings"; }
fi

root="$scratch/root"
dpkg -x "$package" "$root"
for file in opt/nemuroa/nemuroa opt/nemuroa/bin/nemuroa opt/nemuroa/share/applications/nemuroa.desktop \
  opt/nemuroa/share/icons/hicolor/scalable/apps/nemuroa.svg opt/nemuroa/share/icons/hicolor/48x48/apps/nemuroa.png; do
  [ -f "$root/$file" ] || fail "no $file in the package"
done
for file in usr/share/doc/nemuroa/copyright usr/share/doc/nemuroa/changelog.gz usr/share/man/man1/nemuroa.1.gz; do
  [ -f "$root/$file" ] || fail "no $file in the package"
done
[ -z "$(find "$root" -type d -empty)" ] || fail "the package ships empty folders: $(find "$root" -type d -empty)"
[ "$(readlink "$root/usr/bin/nemuroa")" = /opt/nemuroa/bin/nemuroa ] || fail "the launcher is not on the PATH"
[ "$(readlink "$root/usr/share/applications/nemuroa.desktop")" = /opt/nemuroa/share/applications/nemuroa.desktop ] \
  || fail "the menu entry is not linked"
[ -L "$root/usr/share/icons/hicolor/256x256/apps/nemuroa.png" ] || fail "the icon is not linked"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/opt/nemuroa/share/applications/nemuroa.desktop" || fail "the menu entry is invalid"
fi

export HOME="$scratch/home"
unset XDG_DATA_HOME
mkdir -p "$HOME"
start_program "$root/opt/nemuroa/bin/nemuroa"
wait_for_file "$HOME/.local/share/nemuroa/★MAilData/vbmdata10.data"
stop_started
echo "package: ok"
