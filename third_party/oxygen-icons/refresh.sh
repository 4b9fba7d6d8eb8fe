#!/usr/bin/env bash
# Copies the Oxygen icons listed in icons.txt, the package's copyright file and the
# licence texts from an installed oxygen-icon-theme package into this folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=/usr/share/icons/oxygen/base
if [ ! -d "$src" ]; then
  echo "oxygen-icon-theme is not installed: apt-get install oxygen-icon-theme" >&2
  exit 1
fi
rm -rf "$here/icons"
grep -v '^#' "$here/icons.txt" | while read -r icon; do
  [ -n "$icon" ] || continue
  mkdir -p "$here/icons/$(dirname "$icon")"
  cp "$src/$icon" "$here/icons/$icon"
done
cp /usr/share/doc/oxygen-icon-theme/copyright "$here/copyright"
cp /usr/share/common-licenses/LGPL-3 "$here/LGPL-3"
cp /usr/share/common-licenses/GPL-3 "$here/GPL-3"
version=$(dpkg-query -W -f='${Version}' oxygen-icon-theme)
cat > "$here/SOURCE" <<NOTE
Debian package: oxygen-icon-theme
Version: $version
Licence: LGPL-3+ (see copyright, LGPL-3 and GPL-3 in this folder)
The icons under icons/ are unmodified copies from /usr/share/icons/oxygen/base/.
They are installed as separate, replaceable files in the program's theme folders.
NOTE
echo "copied $(find "$here/icons" -name '*.png' | wc -l) icons from oxygen-icon-theme $version"
