#!/usr/bin/env bash
# Installs the package that packaging/build-deb.sh left in build/deb/, checks that it
# works from /usr, removes it with --purge and checks that none of its files are left.
# Changes the machine's installed packages: run it as root (or with sudo) on a machine
# where Vellaro is not installed already.
#   packaging/check-deb-install.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
deb=$(realpath "${1:-build/deb/vellaro_${version}_$(dpkg --print-architecture).deb}")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

if dpkg-query -W -f='${Status}' vellaro 2>/dev/null | grep -q "ok installed"; then
  echo "vellaro is installed already: remove it first (apt-get remove --purge vellaro)" >&2
  exit 1
fi

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
files=$(mktemp)
trap 'rm -f "$files"' EXIT
dpkg -L vellaro >"$files"
echo "$(wc -l <"$files") paths installed by vellaro"

out=$(vellaro-cli --version 2>&1) || true
[ "$out" = "vellaro-cli $version" ] && echo "ok: vellaro-cli --version: $out" || fail "vellaro-cli --version gave: $out"
desktop-file-validate /usr/share/applications/org.vellaro.Vellaro.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.vellaro.Vellaro.metainfo.xml >/dev/null \
  || fail "appstreamcli validate"
[ -n "$(find /usr/share/vellaro/Theme/blue/Pixmap -type f -print -quit)" ] || fail "theme missing under /usr/share/vellaro"
# The desktop's triggers have taken the menu entry's picture types in.
grep -q "image/jpeg=.*org.vellaro.Vellaro.desktop" /usr/share/applications/mimeinfo.cache \
  && echo "ok: offered for JPEG pictures" || fail "not in /usr/share/applications/mimeinfo.cache"

$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q vellaro
dpkg-query -W -f='${Status}' vellaro 2>/dev/null | grep -q "ok installed" && fail "vellaro still installed"
# Files and the folders only vellaro had must be gone; shared folders (/usr/bin,
# /usr/share/icons/hicolor/...) stay.
left=0
while IFS= read -r path; do
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == /usr/share/vellaro* ]] || [[ $path == /usr/share/doc/vellaro* ]]; }; then
    echo "left behind: $path" >&2
    left=$((left + 1))
  fi
done <"$files"
grep -q "org.vellaro.Vellaro.desktop" /usr/share/applications/mimeinfo.cache 2>/dev/null \
  && fail "still in /usr/share/applications/mimeinfo.cache"
[ $left = 0 ] && echo "ok: nothing of vellaro is left after apt-get remove --purge" || fail "$left path(s) left behind"
[ $failures = 0 ] && echo "the package installs, works and removes cleanly"
exit $((failures != 0))
