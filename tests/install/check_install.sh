#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the installed tree as a user's
# machine gets it: the programs, their theme, the desktop integration, the manual
# pages, no path of the build compiled into the programs, and that they run from there.
#
#   check_install.sh CMAKE BUILD_DIR SOURCE_DIR STRICT_PATHS
#
# STRICT_PATHS=1 (an optimised build without sanitizers) allows no trace at all of the
# build or source directory in the programs; otherwise the only traces allowed are
# source file names, which assertions (__FILE__) and the sanitizers record for their
# messages.
set -uo pipefail

CMAKE=$1
BUILD_DIR=$(cd "$2" && pwd -P)
SOURCE_DIR=$(cd "$3" && pwd -P)
STRICT_PATHS=$4

APP_ID=org.vellaro.Vellaro
PROGRAMS=(vellaro vellaro-cli vellaro-mail)
ICON_SIZES=(16 32 48 64 128 256)
VERSION=1.0

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vellaro-install.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() {
  echo "ok: $*"
}

# ------------------------------------------------------------------ install
install_into_prefix() {
  if ! "$CMAKE" --install "$BUILD_DIR" --prefix "$PREFIX" >"$WORK/install.log" 2>&1; then
    cat "$WORK/install.log" >&2
    fail "cmake --install into $PREFIX"
    return 1
  fi
  pass "installed into a fresh prefix"
}

# ------------------------------------------------------------------ the tree
# Every installed file must be one of these (paths relative to the prefix, as
# extended regular expressions); anything else installed is reported.
ALLOWED_FILES=(
  "bin/(vellaro|vellaro-cli|vellaro-mail)"
  "share/vellaro/Theme/.+"
  "share/applications/$APP_ID\.desktop"
  "share/metainfo/$APP_ID\.metainfo\.xml"
  "share/icons/hicolor/[0-9]+x[0-9]+/apps/$APP_ID\.png"
  "share/icons/hicolor/scalable/apps/$APP_ID\.svg"
  "share/man/man1/(vellaro|vellaro-cli|vellaro-mail)\.1"
)

check_tree() {
  local p
  for p in "${PROGRAMS[@]}"; do
    if [ -f "$PREFIX/bin/$p" ] && [ -x "$PREFIX/bin/$p" ]; then
      pass "bin/$p is an executable file"
    else
      fail "bin/$p missing or not executable"
    fi
  done

  local pixmaps=$PREFIX/share/vellaro/Theme/blue/Pixmap
  if [ -d "$pixmaps" ] && [ -n "$(find "$pixmaps" -type f -size +0 -print -quit)" ]; then
    pass "share/vellaro/Theme/blue/Pixmap holds $(find "$pixmaps" -type f | wc -l) pictures"
  else
    fail "share/vellaro/Theme/blue/Pixmap missing or empty"
  fi
  [ -f "$PREFIX/share/vellaro/Theme/licences/oxygen-icons/copyright" ] \
    && pass "the Oxygen icons' copyright goes with them" \
    || fail "share/vellaro/Theme/licences/oxygen-icons/copyright missing"

  local desktop=$PREFIX/share/applications/$APP_ID.desktop
  local metainfo=$PREFIX/share/metainfo/$APP_ID.metainfo.xml
  [ -s "$desktop" ] && pass "desktop entry installed" || fail "share/applications/$APP_ID.desktop missing"
  [ -s "$metainfo" ] && pass "AppStream metainfo installed" || fail "share/metainfo/$APP_ID.metainfo.xml missing"

  local size png got
  for size in "${ICON_SIZES[@]}"; do
    png=$PREFIX/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    if [ ! -f "$png" ]; then
      fail "hicolor ${size}x${size} icon missing"
      continue
    fi
    got=$(identify -format '%m %wx%h' "$png" 2>&1)
    if [ "$got" = "PNG ${size}x${size}" ]; then
      pass "hicolor ${size}x${size} icon is a ${size}x${size} PNG"
    else
      fail "hicolor ${size}x${size} icon is '$got'"
    fi
  done
  local svg=$PREFIX/share/icons/hicolor/scalable/apps/$APP_ID.svg
  if cmp -s "$svg" "$SOURCE_DIR/packaging/icons/$APP_ID.svg"; then
    pass "scalable icon is the drawing"
  else
    fail "share/icons/hicolor/scalable/apps/$APP_ID.svg missing or not the drawing in packaging/icons"
  fi

  for p in "${PROGRAMS[@]}"; do
    [ -s "$PREFIX/share/man/man1/$p.1" ] && pass "manual page $p.1" || fail "share/man/man1/$p.1 missing"
  done

  local file rel allowed pattern unexpected=0
  while IFS= read -r file; do
    rel=${file#"$PREFIX"/}
    allowed=0
    for pattern in "${ALLOWED_FILES[@]}"; do
      if [[ $rel =~ ^($pattern)$ ]]; then
        allowed=1
        break
      fi
    done
    if [ $allowed = 0 ]; then
      fail "unexpected file installed: $rel"
      unexpected=$((unexpected + 1))
    fi
  done < <(find "$PREFIX" -type f -o -type l)
  [ $unexpected = 0 ] && pass "nothing else installed"
}

# ------------------------------------------------------------------ build paths
# The installed programs must not hold a path of the build: not as their run path,
# not as a folder or file they would look for at run time. Debug information is not
# part of the program (a package strips it), so it is stripped from a copy first.
check_no_build_paths() {
  local p copy hits others runpath entry entries
  for p in "${PROGRAMS[@]}"; do
    [ -f "$PREFIX/bin/$p" ] || continue
    # A run path may only point beside the program ($ORIGIN...), never at a folder of
    # this machine.
    runpath=$(readelf -d "$PREFIX/bin/$p" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]$/\2/p')
    IFS=: read -r -a entries <<<"$runpath"
    for entry in "${entries[@]}"; do
      case $entry in
        "") fail "bin/$p has an empty run path entry: libraries would be looked for in the current folder" ;;
        '$ORIGIN'|'$ORIGIN/'*) ;;
        *) fail "bin/$p has a run path to $entry" ;;
      esac
    done
    copy=$WORK/stripped-$p
    if ! objcopy --strip-debug "$PREFIX/bin/$p" "$copy"; then
      fail "objcopy --strip-debug bin/$p"
      continue
    fi
    hits=$(grep -c -a -F -e "$BUILD_DIR" -e "$SOURCE_DIR" "$copy")
    if [ "$STRICT_PATHS" = 1 ]; then
      if [ "$hits" = 0 ]; then
        pass "bin/$p holds no build or source path"
      else
        fail "bin/$p holds the build or source path on $hits lines:"
        strings -a "$copy" | grep -F -e "$BUILD_DIR" -e "$SOURCE_DIR" | sort -u | head -20 >&2
      fi
    else
      # Source file names (what __FILE__ and the sanitizers' source locations record)
      # are allowed in a debug or sanitized build; any other path is not.
      others=$(strings -a -n 6 "$copy" | grep -F -e "$BUILD_DIR" -e "$SOURCE_DIR" \
        | grep -v -E '^/[^[:space:]:]*\.(c|cc|cpp|cxx|h|hh|hpp)$' | sort -u)
      if [ -z "$others" ]; then
        pass "bin/$p holds no build or source path but source file names ($hits lines with them)"
      else
        fail "bin/$p holds build or source paths other than source file names:"
        echo "$others" | head -20 >&2
      fi
    fi
  done
}

# ------------------------------------------------------------------ validators
check_desktop_files() {
  local desktop=$PREFIX/share/applications/$APP_ID.desktop
  local metainfo=$PREFIX/share/metainfo/$APP_ID.metainfo.xml
  local out
  if [ -f "$desktop" ]; then
    # desktop-file-validate exits 0 on warnings: any line it prints is a fault.
    out=$(desktop-file-validate "$desktop" 2>&1)
    if [ $? = 0 ] && [ -z "$out" ]; then
      pass "desktop-file-validate: clean"
    else
      fail "desktop-file-validate: $out"
    fi
    grep -qx "Icon=$APP_ID" "$desktop" || fail "desktop entry's Icon is not $APP_ID"
    grep -qE '^Exec=vellaro( |$)' "$desktop" || fail "desktop entry does not start bin/vellaro"
  fi
  if [ -f "$metainfo" ]; then
    if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
      pass "appstreamcli validate --no-net: passed"
    else
      fail "appstreamcli validate --no-net:"
      echo "$out" >&2
    fi
    grep -q "<id>$APP_ID</id>" "$metainfo" || fail "metainfo's id is not $APP_ID"
    grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" \
      || fail "metainfo does not launch $APP_ID.desktop"
    grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "metainfo has no release $VERSION"
    local b
    for b in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
      [ -x "$PREFIX/bin/$b" ] || fail "metainfo provides $b, which is not installed"
    done
  fi
}

# ------------------------------------------------------------------ the programs run
# Each started from the prefix, with the build tree out of sight: a fresh HOME and
# the installed bin/ only.
run_env() {
  env -i PATH="$PREFIX/bin:/usr/bin:/bin" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
    XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$@"
}

check_cli_version() {
  mkdir -p "$WORK/home" "$WORK/runtime" && chmod 700 "$WORK/runtime"
  local out
  out=$(cd "$WORK" && run_env "$PREFIX/bin/vellaro-cli" --version 2>&1)
  if [ $? = 0 ] && [ "$out" = "vellaro-cli $VERSION" ]; then
    pass "installed vellaro-cli --version: $out"
  else
    fail "installed vellaro-cli --version gave: $out"
  fi
}

# Started from a folder that holds files named as the libraries it uses (a picture folder
# may hold anything), each program of the build tree and of the prefix runs as ever: the
# loader never looks in the current folder.
check_runs_from_any_folder() {
  local dir=$WORK/strange-folder lib out where
  mkdir -p "$dir" "$WORK/home" "$WORK/runtime" && chmod 700 "$WORK/runtime"
  for lib in libz.so.1 libQt6Core.so.6 libgmime-3.0.so.0 libc.so.6 libstdc++.so.6; do
    echo "not a library" >"$dir/$lib"
  done
  for where in "$BUILD_DIR/bin" "$PREFIX/bin"; do
    out=$(cd "$dir" && run_env "$where/vellaro-cli" --version 2>&1)
    if [ $? = 0 ] && [ "$out" = "vellaro-cli $VERSION" ]; then
      pass "$where/vellaro-cli runs from a folder of look-alike libraries"
    else
      fail "$where/vellaro-cli started from a folder of look-alike libraries gave: $out"
    fi
  done
}

# ------------------------------------------------------------------ the GUI with a picture
# The installed bin/vellaro started offscreen (run_env) with a picture as its argument,
# from the prefix: it must find its installed theme and show the picture. Belongs with
# the program's handling of file arguments (Exec=vellaro %F of the desktop entry).
check_gui_opens_picture() {
  mkdir -p "$WORK/home/.config/Halvarin" "$WORK/runtime" "$WORK/pics" && chmod 700 "$WORK/runtime"
  printf '[Vellaro]\nFirstStartup=false\nPATH_INSTALL=%s\n' "$WORK/catalogue" >"$WORK/home/.config/Halvarin/Vellaro.conf"
  if ! convert -size 64x48 xc:red "$WORK/pics/a.jpg" || ! convert -size 64x48 xc:blue "$WORK/pics/b.jpg"; then
    fail "cannot make the test pictures (ImageMagick's convert)"
    return
  fi
  local code
  (cd "$WORK" && run_env QT_LOGGING_RULES="vellaro.app.debug=true;vellaro.ui.debug=true" \
    timeout 120 "$PREFIX/bin/vellaro" --exit-when-shown "$WORK/pics/b.jpg") >"$WORK/gui.out" 2>"$WORK/gui.err"
  code=$?
  if [ $code = 0 ]; then
    pass "installed vellaro with a picture ran and closed"
  else
    fail "installed vellaro with a picture ended with $code:"
    tail -20 "$WORK/gui.err" >&2
  fi
  if grep -qF "viewing \"$WORK/pics/b.jpg\" of \"pics\" (held in memory)" "$WORK/gui.err"; then
    pass "installed vellaro showed the picture in its viewer"
  else
    fail "installed vellaro did not show $WORK/pics/b.jpg in its viewer"
  fi
  if grep -qF "theme shipped in \"$PREFIX/share/vellaro/Theme\"" "$WORK/gui.err"; then
    pass "installed vellaro took its theme from the prefix"
  else
    fail "installed vellaro looked for its theme elsewhere: $(grep 'theme shipped in' "$WORK/gui.err")"
  fi
  if grep -q "no theme picture" "$WORK/gui.err"; then
    fail "installed vellaro missed theme pictures: $(grep 'no theme picture' "$WORK/gui.err" | sort -u | head -5)"
  else
    pass "installed vellaro found every theme picture it drew"
  fi
  # Nothing catalogued: the catalogue holds no album.
  if ls "$WORK/catalogue/DataBase/db" 2>/dev/null | grep -q .; then
    fail "opening a picture catalogued something: $(ls "$WORK/catalogue/DataBase/db")"
  else
    pass "opening a picture catalogued nothing"
  fi
}

install_into_prefix && {
  check_tree
  check_no_build_paths
  check_desktop_files
  check_cli_version
  check_runs_from_any_folder
  check_gui_opens_picture
}

if [ $failures != 0 ]; then
  echo "$failures check(s) of the installed tree failed" >&2
  exit 1
fi
echo "every check of the installed tree passed"
