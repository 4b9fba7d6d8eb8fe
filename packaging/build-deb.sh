#!/usr/bin/env bash
# Builds Vellaro's Debian package from the source tracked by git and checks it:
#   packaging/build-deb.sh              the committed state (HEAD)
#   packaging/build-deb.sh --worktree   the tracked files as they are in the work
#                                       tree, local edits included
# By default the package is built from HEAD (git archive), so that a package always
# matches a commit: local edits are left out, and said so. --worktree builds the
# tracked files as they are on disk (git ls-files): for trying a change before
# committing it; files git does not track (new ones not yet added, build trees) are
# never packaged.
#
# Installs what it needs through scripts/deps.sh, builds in a temporary folder with
# dpkg-buildpackage, leaves the packages in build/deb/, then runs lintian on them and
# checks the package's file list. JOBS=N compiles with N jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

mode=head
case "${1:-}" in
  "") ;;
  --worktree) mode=worktree ;;
  *) echo "usage: packaging/build-deb.sh [--worktree]" >&2; exit 2 ;;
esac

. scripts/deps.sh
vellaro_install_deps debhelper dpkg-dev fakeroot lintian git

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)
work=$(mktemp -d "${TMPDIR:-/tmp}/vellaro-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$work/vellaro-$version
mkdir -p "$src"

if [ "$mode" = head ]; then
  if ! git diff --quiet HEAD -- 2>/dev/null; then
    echo "note: building HEAD ($(git rev-parse --short HEAD)); these local edits are left out:" >&2
    git diff --stat HEAD -- | tail -n 20 >&2
  fi
  git archive --format=tar HEAD | tar -x -C "$src"
else
  # Tracked files as they are on disk; one deleted but not yet committed is skipped.
  git ls-files -z | while IFS= read -r -d '' f; do
    [ -e "$f" ] && printf '%s\0' "$f"
  done | tar --null -T - -c -f - | tar -x -C "$src"
fi

echo "Building vellaro $version ($mode) in $src"
(cd "$src" && DEB_BUILD_OPTIONS="parallel=${JOBS:-2} ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b)

out=$root/build/deb
mkdir -p "$out"
rm -f "$out"/vellaro*_"$version"_*
cp "$work"/vellaro*_"$version"_* "$out"/
deb=$out/vellaro_${version}_${arch}.deb
echo
echo "Packages in build/deb/:"
ls -l "$out"

# ---------------------------------------------------------------- the file list
# Every file of the package must be one of these, and each of the required ones there.
expected=(
  "usr/bin/(vellaro|vellaro-cli|vellaro-mail)"
  "usr/share/vellaro/Theme/.+"
  "usr/share/applications/org\.vellaro\.Vellaro\.desktop"
  "usr/share/metainfo/org\.vellaro\.Vellaro\.metainfo\.xml"
  "usr/share/icons/hicolor/(16x16|32x32|48x48|64x64|128x128|256x256)/apps/org\.vellaro\.Vellaro\.png"
  "usr/share/icons/hicolor/scalable/apps/org\.vellaro\.Vellaro\.svg"
  "usr/share/man/man1/(vellaro|vellaro-cli|vellaro-mail)\.1\.gz"
  "usr/share/doc/vellaro/(copyright|changelog\.gz)"
)
required=(
  usr/bin/vellaro usr/bin/vellaro-cli usr/bin/vellaro-mail
  usr/share/applications/org.vellaro.Vellaro.desktop
  usr/share/metainfo/org.vellaro.Vellaro.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.vellaro.Vellaro.svg
  usr/share/man/man1/vellaro.1.gz usr/share/man/man1/vellaro-cli.1.gz usr/share/man/man1/vellaro-mail.1.gz
  usr/share/doc/vellaro/copyright usr/share/doc/vellaro/changelog.gz
)
for size in 16 32 48 64 128 256; do
  required+=("usr/share/icons/hicolor/${size}x${size}/apps/org.vellaro.Vellaro.png")
done

problems=0
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's:^\./::' | grep -v -e '/$' -e '^$')
while IFS= read -r f; do
  ok=0
  for pattern in "${expected[@]}"; do
    [[ $f =~ ^($pattern)$ ]] && { ok=1; break; }
  done
  [ $ok = 1 ] || { echo "unexpected file in the package: $f" >&2; problems=$((problems + 1)); }
done <<<"$files"
for f in "${required[@]}"; do
  grep -qxF "$f" <<<"$files" || { echo "missing from the package: $f" >&2; problems=$((problems + 1)); }
done
[ -n "$(grep '^usr/share/vellaro/Theme/blue/Pixmap/' <<<"$files")" ] \
  || { echo "missing from the package: the theme's pictures" >&2; problems=$((problems + 1)); }
echo
echo "$(wc -l <<<"$files") files in the package, $problems problem(s) with its file list"

echo
dpkg-deb --info "$deb"

echo
echo "lintian:"
status=0
lintian --info --display-level ">=info" "$out"/vellaro_"${version}"_"${arch}".changes || status=$?
if [ $problems != 0 ]; then
  exit 1
fi
exit $status
