#!/usr/bin/env bash
# Installs the Debian packages Nemuroa needs that are not there yet; quiet when all are.
# Usage: install-dependencies.sh run|test|stress|demo|screenshots
set -euo pipefail

build_packages=(cmake ninja-build g++ lld pkg-config qt6-base-dev libgl-dev libxcb1-dev libgmime-3.0-dev libxml2-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev)
run_packages=(fonts-noto-cjk fonts-ipafont-gothic)
test_packages=(dovecot-core dovecot-pop3d python3-aiosmtpd openssl procps curl poppler-utils fonts-noto-cjk
  fonts-ipafont-gothic lintian)
run_packages+=(qt6-translations-l10n)
test_packages+=(desktop-file-utils qt6-translations-l10n)
# Independent readers of what the program sends: reformime and munpack.
test_packages+=(maildrop mpack)
# The screen reader test: a real X server, an accessibility bus and a reader's view of it.
test_packages+=(xvfb x11-utils xdotool dbus-x11 at-spi2-core python3-pyatspi python3-gi)
demo_packages=(dovecot-core dovecot-pop3d python3-aiosmtpd openssl procps ca-certificates)
screenshot_packages=(xvfb xauth)
stress_packages=(stress-ng)

case "${1:-}" in
  run) wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  test) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  stress) wanted=("${build_packages[@]}" "${test_packages[@]}" "${stress_packages[@]}") ;;
  demo) wanted=("${build_packages[@]}" "${run_packages[@]}" "${demo_packages[@]}") ;;
  screenshots) wanted=("${build_packages[@]}" "${run_packages[@]}" "${demo_packages[@]}" "${screenshot_packages[@]}") ;;
  *) echo "usage: $0 run|test|stress|demo|screenshots" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
