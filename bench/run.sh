#!/usr/bin/env bash
# Runs Vellaro's benchmarks side by side with the anchor tools, in one run, and
# prints each figure with its ratio. Not a test: figures vary from machine to machine.
#   bench/run.sh            everything
#   bench/run.sh thumbs     thumbnails only
#   bench/run.sh previews   thumbnails of camera JPEGs from their embedded previews, against
#                           vipsthumbnail, and a new album of 1,000 of them opened
#   bench/run.sh startup    start-up only
#   bench/run.sh catalogue  catalogue loading and searching only
#   bench/run.sh large      searching and memory with 500,000 pictures, against grep
#   bench/run.sh open       opening an album of 1,000 pictures, and with the album cache on
#                           one of 1,000 against one of 10,000, only
#   bench/run.sh scale      opening, choosing every picture, adding, removing and renaming on an
#                           album of 1,000 against one of 10,000
#   bench/run.sh tagmemory  the resident size of the window as an album of 50,000 pictures is
#                           opened, every picture chosen, and all given a comment three times
#   bench/run.sh add        adding 1,000 pictures to an empty album and to one of 100,000 rows only
#   bench/run.sh effects    the viewer's effects against ImageMagick and memcpy
#   bench/run.sh backup     a snapshot of a 50,000-picture catalogue against tar -czf
#   bench/run.sh slideshow  "Next" to the next 12-megapixel photograph on a 1920 x 1080
#                           screen, against decoding it at screen size alone
#   bench/run.sh locate     the locator's walk over 10,000 folders of 50,000 photographs,
#                           against find listing their JPEG files
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
vellaro_install_deps libvips-tools mate-backgrounds ukui-wallpapers time libimage-exiftool-perl imagemagick
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
BIN=build/release/bin
WORK=${BENCH_WORK:-/tmp/vellaro-bench}
mkdir -p "$WORK"
what=${1:-all}

ratio() { python3 -c "import sys; print(f'{float(sys.argv[1])/float(sys.argv[2]):.2f}')" "$1" "$2"; }
now() { date +%s.%N; }
rate() { python3 -c "import sys; print(f'{int(sys.argv[1])/(float(sys.argv[3])-float(sys.argv[2])):.2f}')" "$@"; }

thumbs_corpus() {
  local name=$1; shift
  local files=("$@") n=${#files[@]}
  rm -rf "$WORK/out"; mkdir -p "$WORK/out/v1" "$WORK/out/v2" "$WORK/out/vips" "$WORK/out/im"
  # Warm the page cache so every tool reads from memory.
  cat "${files[@]}" >/dev/null
  local v1 v2 t0 t1 vips im
  v1=$("$BIN/bench_thumbs" make "$WORK/out/v1" 1 "${files[@]}" | awk '{print $3}')
  v2=$("$BIN/bench_thumbs" make "$WORK/out/v2" 2 "${files[@]}" | awk '{print $3}')
  t0=$(now)
  VIPS_CONCURRENCY=1 vipsthumbnail --size 99x73 -o "$WORK/out/vips/%s.jpg[Q=70]" "${files[@]}"
  t1=$(now); vips=$(rate "$n" "$t0" "$t1")
  t0=$(now)
  for f in "${files[@]}"; do
    /usr/bin/convert "$f" -thumbnail 99x73 -quality 70 "$WORK/out/im/$(basename "$f")"
  done
  t1=$(now); im=$(rate "$n" "$t0" "$t1")
  echo "thumbnails, $name ($n pictures), pictures per second:"
  echo "  vellaro 1 thread   $v1"
  echo "  vellaro 2 threads  $v2   (x$(ratio "$v2" "$v1") of 1 thread; target >= 1.8)"
  echo "  vipsthumbnail      $vips   (vellaro 1 thread / vips = $(ratio "$v1" "$vips"); target >= 1.2)"
  echo "  imagemagick        $im   (vellaro 1 thread / imagemagick = $(ratio "$v1" "$im"))"
  "$BIN/bench_thumbs" identical "${files[@]:0:3}" | sed 's/^/  worker thread vs window thread: /'
}

# Camera JPEGs: real photographs brought to 12 megapixels (4000 x 3000) with the
# 160 x 120 EXIF preview a camera embeds, made once.
camera_corpus() {
  local dir="$WORK/camera" i=0 f
  if [ ! -f "$dir/.made" ]; then
    rm -rf "$dir"; mkdir -p "$dir"
    while read -r f; do
      /usr/bin/convert "$f" -resize '4000x3000^' -gravity center -extent 4000x3000 -quality 90 "$dir/cam-$i.jpg"
      /usr/bin/convert "$dir/cam-$i.jpg" -thumbnail '160x120!' -quality 80 "$dir/preview-$i.jpg"
      exiftool -q -m -overwrite_original "-ThumbnailImage<=$dir/preview-$i.jpg" "$dir/cam-$i.jpg"
      i=$((i + 1))
    done < <(find /usr/share/backgrounds -iname "*.jpg" | sort | head -n 24)
    touch "$dir/.made"
  fi
  echo "$dir"
}

bench_previews() {
  local dir; dir=$(camera_corpus)
  # Each picture ten times: enough work that loading the decoders once does not count.
  mapfile -t once < <(find "$dir" -name 'cam-*.jpg' | sort)
  local files=() r
  for r in 1 2 3 4 5 6 7 8 9 10; do files+=("${once[@]}"); done
  local n=${#files[@]} fast plain t0 t1 vips
  rm -rf "$WORK/out"; mkdir -p "$WORK/out/fast" "$WORK/out/plain" "$WORK/out/vips"
  cat "${once[@]}" >/dev/null
  fast=$("$BIN/bench_thumbs" fast "$WORK/out/fast" 1 "${files[@]}" | awk '{print $3}')
  plain=$("$BIN/bench_thumbs" make "$WORK/out/plain" 1 "${files[@]}" | awk '{print $3}')
  t0=$(now)
  VIPS_CONCURRENCY=1 vipsthumbnail --size 99x73 -o "$WORK/out/vips/%s.jpg[Q=70]" "${files[@]}"
  t1=$(now); vips=$(rate "$n" "$t0" "$t1")
  echo "thumbnails of camera JPEGs with embedded previews (${#once[@]} pictures of 12 megapixels, each 10 times), one thread, per second:"
  echo "  vellaro, Fast Thumbs (the preview)   $fast   (x$(ratio "$fast" "$vips") of vips; target >= 5)"
  echo "  vellaro, smooth (the picture)        $plain   (x$(ratio "$plain" "$vips") of vips)"
  echo "  vipsthumbnail                        $vips"
  # A new album of 1,000 of them, opened with Fast Thumbs on.
  local album="$WORK/open-camera"
  rm -rf "$album"
  "$BIN/bench_open" generate "$album" 1000 camera "$dir" >/dev/null 2>&1
  local t; t=$("$BIN/bench_open" open "$album" 2>/dev/null)
  get() { echo "$t" | awk -v k="$1" '$1 == k {print $2}'; }
  echo "opening a new album of 1,000 of them ($(nproc) cores, offscreen, ms):"
  echo "  first screen $(get first_screen_ms) (target <= 100), every thumbnail $(get whole_ms) (target < 2000), longest block $(get longest_block_ms)"
}

bench_thumbs() {
  mapfile -t real < <(find /usr/share/backgrounds -iname "*.jpg" | sort)
  thumbs_corpus "real photographs from mate-backgrounds and ukui-wallpapers" "${real[@]}"
  "$BIN/bench_thumbs" generate "$WORK/synthetic" 12
  mapfile -t synth < <(find "$WORK/synthetic" -name '*.jpg' | sort)
  thumbs_corpus "12-megapixel synthetic photographs" "${synth[@]}"
}

median_run() {
  # median_run N command... : prints the median wall time in milliseconds
  local n=$1; shift
  local times=() i t0 t1
  for ((i = 0; i < n; i++)); do
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    times+=("$(python3 -c "import sys; print((float(sys.argv[2])-float(sys.argv[1]))*1000)" "$t0" "$t1")")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f\n", a[int((NR+1)/2)]}'
}

shown_run() {
  # shown_run N command... : the medians, in milliseconds, of the time until the program
  # says "vellaro: shown at <time>" on standard error (its window painted) and of the whole run until it ended
  local n=$1; shift
  local shown=() whole=() i t0 t1 out
  for ((i = 0; i < n; i++)); do
    t0=$(now); out=$("$@" 2>&1 >/dev/null); t1=$(now)
    shown+=("$(echo "$out" | awk -v t0="$t0" '/^vellaro: shown at / {printf "%.3f\n", ($4 - t0) * 1000}')")
    whole+=("$(python3 -c "import sys; print((float(sys.argv[2])-float(sys.argv[1]))*1000)" "$t0" "$t1")")
  done
  med() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]}'; }
  echo "$(printf '%s\n' "${shown[@]}" | med) $(printf '%s\n' "${whole[@]}" | med)"
}

# 500,000 pictures in 5,000 albums, each album's first thumbnail made (made again when
# an older generator left them out).
big_catalogue() {
  if [ ! -f "$1/.first-thumbnails" ]; then
    rm -rf "$1"
    "$BIN/bench_catalogue" generate "$1" 5000 100 >/dev/null
    touch "$1/.first-thumbnails"
  fi
}

bench_startup() {
  local home="$WORK/home"
  rm -rf "$home"; mkdir -p "$home/.config/Halvarin"
  printf '[Vellaro]\nFirstStartup=false\nPATH_INSTALL=%s\n' "$home/install" > "$home/.config/Halvarin/Vellaro.conf"
  local runs=21 empty vellaro
  export HOME="$home" XDG_CONFIG_HOME="$home/.config"
  empty=$(shown_run $runs "$BIN/bench_emptyapp")
  local text
  text=$(shown_run $runs "$BIN/bench_emptyapp" --text)
  vellaro=$(shown_run $runs "$BIN/vellaro" --exit-when-shown)
  # The same with a catalogue of 500,000 pictures in 5,000 albums.
  local big="$WORK/catalogue-500000" bighome="$WORK/home-500000" large
  big_catalogue "$big"
  rm -rf "$bighome"; mkdir -p "$bighome/.config/Halvarin"
  printf '[Vellaro]\nFirstStartup=false\nPATH_INSTALL=%s\n' "$big" > "$bighome/.config/Halvarin/Vellaro.conf"
  large=$(HOME="$bighome" XDG_CONFIG_HOME="$bighome/.config" shown_run 7 "$BIN/vellaro" --exit-when-shown)
  set -- $empty; local empty_shown=$1 empty_whole=$2
  set -- $text; local text_shown=$1 text_whole=$2
  set -- $vellaro; local vellaro_shown=$1 vellaro_whole=$2
  set -- $large; local large_shown=$1 large_whole=$2
  echo "start-up, from starting the program to its window painted (and to its end, having closed"
  echo "the window at once), median of $runs (${QT_QPA_PLATFORM:-xcb}), ms:"
  echo "  empty Qt widgets application  shown $empty_shown   (ended $empty_whole)"
  echo "  the same, a line of text shown shown $text_shown   (x$(ratio "$text_shown" "$empty_shown"): the fonts' own start, which an empty window never makes)"
  echo "  vellaro, empty catalogue      shown $vellaro_shown   (x$(ratio "$vellaro_shown" "$empty_shown"); target <= 1.5)   (ended $vellaro_whole, x$(ratio "$vellaro_whole" "$empty_whole"))"
  echo "  vellaro, 500,000 pictures     shown $large_shown   (x$(ratio "$large_shown" "$vellaro_shown") of the empty catalogue, median of 7; target <= 2)   (ended $large_whole, x$(ratio "$large_whole" "$vellaro_whole"))"
  # The window's peak resident size once every album's rows are read and its icon fitted.
  window_peak() {
    "$BIN/vellaro" >/dev/null 2>&1 &
    local pid=$! peak
    sleep "$1"
    peak=$(awk '/^VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$pid/status")
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$peak"
  }
  local peak_empty peak_large
  peak_empty=$(window_peak 4)
  peak_large=$(HOME="$bighome" XDG_CONFIG_HOME="$bighome/.config" window_peak 12)
  echo "  window's peak resident size, the albums read and their icons fitted: empty catalogue $peak_empty MB,"
  echo "  500,000 pictures $peak_large MB (+$((peak_large - peak_empty)) MB; the catalogue's own target <= 110, bench/run.sh large)"
}

bench_catalogue() {
  local c500="$WORK/catalogue-500" c2000="$WORK/catalogue-2000"
  [ -f "$c500/DataBase/library.db" ] || "$BIN/bench_catalogue" generate "$c500" 500 100
  [ -f "$c2000/DataBase/library.db" ] || "$BIN/bench_catalogue" generate "$c2000" 2000 100
  local t500 t2000
  t500=$("$BIN/bench_catalogue" time "$c500" 2>/dev/null)
  t2000=$("$BIN/bench_catalogue" time "$c2000" 2>/dev/null)
  get() { echo "$1" | awk -v k="$2" '$1 == k {print $2}'; }
  local floor scan load all text load2000 none loaded
  floor=$(get "$t500" floor_read_split_ms); scan=$(get "$t500" naive_scan_ms)
  load=$(get "$t500" load_ms); all=$(get "$t500" allphotos_ms); text=$(get "$t500" fulltext_ms)
  load2000=$(get "$t2000" load_ms)
  none=$("$BIN/bench_catalogue" memory "$c500" none 2>/dev/null)
  loaded=$("$BIN/bench_catalogue" memory "$c500" load 2>/dev/null)
  echo "catalogue of 500 albums x 100 rows (50,000 pictures), median of 9, ms:"
  echo "  raw floor: read and split into lines   $floor"
  echo "  naive case-insensitive scan of \"sun\"   $scan"
  echo "  vellaro load (index and every album)   $load   (x$(ratio "$load" "$floor") of the floor; target <= 2)"
  echo "  vellaro load, 2,000 albums             $load2000   (x$(ratio "$load2000" "$load") of 500 albums; target <= 4.5)"
  echo "  All Photos over 50,000 rows            $all   (x$(ratio "$all" "$scan") of the naive scan; target <= 1.5)"
  echo "  full-text search \"sun\"                $text   (x$(ratio "$text" "$scan") of the naive scan; target <= 1.5)"
  echo "  peak resident size added by loading    $(( (loaded - none) / 1024 )) MB   (target <= 60)"
}

bench_large() {
  local dir="$WORK/catalogue-500000" text="$WORK/rows-500000.txt"
  big_catalogue "$dir"
  local t none loaded grep_ms runs=9 i
  t=$("$BIN/bench_catalogue" large "$dir" "$text" 2>/dev/null)
  get() { echo "$t" | awk -v k="$1" '$1 == k {print $2}'; }
  # The anchor: GNU grep counting the rows that hold the word, over the same text, from memory.
  cat "$text" >/dev/null
  local times=() t0 t1 hits
  for ((i = 0; i < runs; i++)); do
    t0=$(now); hits=$(LC_ALL=C.UTF-8 grep -c -i -F sun "$text"); t1=$(now)
    times+=("$(python3 -c "import sys; print((float(sys.argv[2])-float(sys.argv[1]))*1000)" "$t0" "$t1")")
  done
  grep_ms=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f\n", a[int((NR+1)/2)]}')
  none=$("$BIN/bench_catalogue" memory "$dir" none 2>/dev/null)
  loaded=$("$BIN/bench_catalogue" memory "$dir" load 2>/dev/null)
  echo "catalogue of 5,000 albums x 100 rows ($(get rows) pictures), $(nproc) cores, median of 9, ms:"
  echo "  grep -c -i -F sun over the rows' text   $grep_ms   ($hits rows)"
  echo "  loading                                 $(get load_ms)"
  local name label
  while IFS=: read -r name label; do
    printf '  %-39s %s   (%s rows; x%s of grep, target <= 1.5; target <= 50 ms)\n' "$label" "$(get "${name}_ms")" \
      "$(get "${name}_rows")" "$(ratio "$(get "${name}_ms")" "$grep_ms")"
  done <<'QUERIES'
fulltext:full-text search "sun"
find_title:advanced find, title contains "sun"
find_comment:advanced find, comment contains "RIVER"
find_love:advanced find, love more than 4
favorites:smart album Favorites
category:smart album category "holidays"
person:smart album person "Anna"
allphotos:All Photos
QUERIES
  echo "  peak resident size added by loading     $(( (loaded - none) / 1024 )) MB   (target <= 110)"
  # All Photos in the window: one record per picture while it is open, given back when
  # another album is opened, in slices so that the window keeps answering.
  local a
  a=$("$BIN/bench_open" allphotos "$dir" 2>/dev/null)
  getopen() { echo "$a" | awk -v k="$1" '$1 == k {print $2}'; }
  echo "All Photos opened in the window (offscreen), $(getopen pictures) pictures:"
  echo "  made whole in $(getopen fill_ms) ms, a slice at a time; resident size added $(getopen added_mb) MB"
  echo "  another album opened after it: longest block $(getopen switch_longest_block_ms) ms, records let go in $(getopen released_ms) ms,"
  echo "  resident size still added $(getopen after_mb) MB (the result, its records and the albums'"
  echo "  file-name indexes they made are let go with the view)"
}

bench_open() {
  local with="$WORK/open-thumbs" without="$WORK/open-new"
  "$BIN/bench_open" generate "$with" 1000 thumbs >/dev/null 2>&1
  rm -rf "$without"; cp -r "$with" "$without"
  "$BIN/bench_open" generate "$without" 1000 >/dev/null 2>&1
  local a b
  a=$("$BIN/bench_open" open "$with" 2>/dev/null)
  b=$("$BIN/bench_open" open "$without" 2>/dev/null)
  get() { echo "$1" | awk -v k="$2" '$1 == k {print $2}'; }
  echo "opening an album of 1,000 pictures (offscreen, ms):"
  echo "  thumbnails exist:  first screen $(get "$a" first_screen_ms) (target <= 100), whole album $(get "$a" whole_ms) (target <= 1000), longest block $(get "$a" longest_block_ms)"
  echo "  new pictures:      first screen $(get "$b" first_screen_ms), whole album $(get "$b" whole_ms), longest block $(get "$b" longest_block_ms) (target <= 50)"
  # With the album cache on, a second click on an album takes its thumbnails from the
  # cache: the time should grow with the album, not with its square.
  local c1000="$WORK/open-cache-1000" c10000="$WORK/open-cache-10000" s m
  "$BIN/bench_open" generate "$c1000" 1000 thumbs small >/dev/null 2>&1
  "$BIN/bench_open" generate "$c10000" 10000 thumbs small >/dev/null 2>&1
  s=$("$BIN/bench_open" cached "$c1000" 2>/dev/null)
  m=$("$BIN/bench_open" cached "$c10000" 2>/dev/null)
  echo "opening again with the album cache on (offscreen, ms, median of 5; thumbnails from the cache):"
  echo "  1,000 pictures     $(get "$s" cached_open_ms)   ($(get "$s" from_cache) from the cache)"
  echo "  10,000 pictures    $(get "$m" cached_open_ms)   ($(get "$m" from_cache) from the cache; x$(ratio "$(get "$m" cached_open_ms)" "$(get "$s" cached_open_ms)") of 1,000; target <= 12)"
}

bench_scale() {
  # The window's commands on an album of 1,000 and one of 10,000 pictures. On a tmpfs
  # when there is one: each run tags every picture five times over, and an ext4 without
  # a journal then makes each new file wait on a scan of the inodes deleted in its last
  # minutes (perf: recently_deleted), a cost of the file system that grows with the
  # bench's own churn, not of the program.
  local base="$WORK"
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm/vellaro-bench; mkdir -p "$base"; fi
  local small="$base/scale-1000" big="$base/scale-10000" a b
  [ -f "$small/install/DataBase/db/Big1.db" ] || "$BIN/bench_open" generate "$small" 1000 thumbs small >/dev/null 2>&1
  [ -f "$big/install/DataBase/db/Big1.db" ] || "$BIN/bench_open" generate "$big" 10000 thumbs small >/dev/null 2>&1
  a=$("$BIN/bench_scale" "$small" 2>/dev/null)
  b=$("$BIN/bench_scale" "$big" 2>/dev/null)
  get() { echo "$1" | awk -v k="$2" '$1 == k {print $2}'; }
  echo "the window's commands on an album of 1,000 and of 10,000 pictures (offscreen, on $(df --output=fstype "$base" | tail -1), ms, median of 5):"
  local key label
  while IFS=: read -r key label; do
    printf '  %-32s %9s %9s   (x%s; target < 12)\n' "$label" "$(get "$a" "$key")" "$(get "$b" "$key")" \
      "$(ratio "$(get "$b" "$key")" "$(get "$a" "$key")")"
  done <<'COMMANDS'
open_ms:opening the album
tray_ms:choosing every picture (tray)
tag_ms:a comment for every picture
add_ms:adding a picture
remove_ms:removing a picture
rename_ms:renaming a picture
COMMANDS
  # The queue of tags for the pictures' own metadata, noted and taken up.
  a=$("$BIN/bench_catalogue" metadata "$base/metadata-1000" 1000 2>/dev/null;
     "$BIN/bench_catalogue" finish "$base/finish-1000" 1000 2>/dev/null)
  b=$("$BIN/bench_catalogue" metadata "$base/metadata-10000" 10000 2>/dev/null;
     "$BIN/bench_catalogue" finish "$base/finish-10000" 10000 2>/dev/null)
  while IFS=: read -r key label; do
    printf '  %-32s %9s %9s   (x%s; target < 12)\n' "$label" "$(get "$a" "$key")" "$(get "$b" "$key")" \
      "$(ratio "$(get "$b" "$key")" "$(get "$a" "$key")")"
  done <<'COMMANDS'
noted_ms:tags noted for the metadata
taken_ms:the metadata queue taken up
finish_ms:a change cut short finished (1 a folder)
COMMANDS
}

bench_tagmemory() {
  # An album of 50,000 pictures tagged three times over: what the window keeps.
  local dir; dir=$(camera_corpus)
  local album="$WORK/tagmemory-50000"
  # Made afresh: a run leaves its comments in the album.
  rm -rf "$album"
  "$BIN/bench_open" generate "$album" 50000 camera "$dir" >/dev/null 2>&1
  echo "an album of 50,000 pictures, every one chosen and given a comment three times (offscreen):"
  "$BIN/bench_tagmemory" "$album" 2>/dev/null | grep -v "^loading Database" | sed 's/^/  /'
}

bench_add() {
  local dir="$WORK/add"
  [ -f "$dir/full.db" ] || "$BIN/bench_add" generate "$dir" 1000 100000 >/dev/null 2>&1
  local t
  t=$("$BIN/bench_add" time "$dir" 2>/dev/null)
  get() { echo "$1" | awk -v k="$2" '$1 == k {print $2}'; }
  local empty full
  empty=$(get "$t" empty_ms); full=$(get "$t" full_ms)
  echo "adding $(get "$t" pictures) pictures (320 x 240 JPEG files) to a plain album, as a drop does, median of 3, ms:"
  echo "  into an empty album             $empty"
  echo "  into an album of 100,000 rows   $full   (x$(ratio "$full" "$empty") of the empty album; target <= 2)"
}

ms_of() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); python3 -c "import sys; print(f'{(float(sys.argv[2])-float(sys.argv[1]))*1000:.1f}')" "$t0" "$t1"; }

bench_effects() {
  "$BIN/bench_thumbs" generate "$WORK/synthetic" 12
  local pictures=("$WORK/synthetic/synthetic-00.jpg" /usr/share/backgrounds/mate/nature/Garden.jpg)
  for pic in "${pictures[@]}"; do
    local out v
    out=$(QT_QPA_PLATFORM=offscreen "$BIN/bench_effects" "$pic" 2>/dev/null)
    /usr/bin/convert "$pic" "$WORK/fx.mpc"
    local base; base=$(ms_of /usr/bin/convert "$WORK/fx.mpc" null:)
    echo "effects on $(basename "$pic") ($(echo "$out" | awk '$1 == "size" {print $2}')), ms; ImageMagick's time less its load of the same picture:"
    local memcpy; memcpy=$(echo "$out" | awk '$1 == "memcpy" {print $2}')
    echo "  memcpy of the pixel buffer  $memcpy"
    while IFS=: read -r name op; do
      v=$(echo "$out" | awk -v k="$name" '$1 == k {print $2}')
      local im; im=$(ms_of /usr/bin/convert "$WORK/fx.mpc" $op null:)
      im=$(python3 -c "import sys; print(f'{max(0.1, float(sys.argv[1]) - float(sys.argv[2])):.1f}')" "$im" "$base")
      printf '  %-11s vellaro %8s (x%s memcpy)   imagemagick %8s (x%s faster)\n' "$name" "$v" "$(ratio "$v" "$memcpy")" "$im" "$(ratio "$im" "$v")"
    done <<'OPS'
grey:-colorspace Gray
brighten:-evaluate multiply 1.5
normalize:-normalize
equalize:-equalize
desaturate:-modulate 100,50
contrast:-contrast
to-blue:-fill blue -colorize 20%
mirror:-flop
rotate:-rotate 90
edge:-edge 1
noise:+noise Impulse
OPS
    echo "  fitting to 800 x 600        $(echo "$out" | awk '$1 == "fit800x600" {print $2}') (target < 60)"
  done
}

bench_slideshow() {
  "$BIN/bench_thumbs" generate "$WORK/synthetic" 12
  local out
  out=$(xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN/bench_slideshow" "$WORK"/synthetic/synthetic-0{0..7}.jpg 2>/dev/null)
  local next decode
  next=$(echo "$out" | awk '$1 == "next_ms" {print $2}'); decode=$(echo "$out" | awk '$1 == "decode_ms" {print $2}')
  echo "slideshow, 12-megapixel photographs on a $(echo "$out" | awk '$1 == "screen" {print $2}') screen, median ms:"
  echo "  Next to the next picture on screen, prepared   $next   (target < 50)"
  echo "  decoding it at screen size alone (the floor)    $decode   (x$(ratio "$next" "$decode") of the floor)"
}

bench_backup() {
  # A catalogue of 50,000 pictures, each with its property file, as years of tagging
  # leave it; thumbnails are no part of a snapshot.
  local dir="$WORK/backup-50000"
  if [ ! -f "$dir/done" ]; then
    rm -rf "$dir"
    "$BIN/bench_catalogue" generate "$dir" 500 100 >/dev/null
    python3 - "$dir/DataBase" <<'PY'
import os, sys, re
root = sys.argv[1]
db = os.path.join(root, "db")
for name in os.listdir(db):
    if not name.endswith(".db"):
        continue
    folder = os.path.join(db, name[:-3]); os.makedirs(folder, exist_ok=True)
    for line in open(os.path.join(db, name), encoding="utf-8", errors="replace"):
        if line.startswith("File="):
            picture = line[5:].split("|")[2]
            with open(os.path.join(folder, picture + ".kiv"), "w", newline="") as f:
                f.write("title=A title\r\nformat=4000*3000\r\ncategory=Holidays\r\ncomment=A comment about it\r\n"
                        "love=3\r\nauthor=\r\nfrom=\r\ndate=2019-06-01T10:20:30\r\nfiletype=Photo\r\n"
                        "personinit=Anna,Bob\r\nevent=\r\nplace=Brest\r\nuserbadge=-1\r\n")
PY
    touch "$dir/done"
  fi
  local files; files=$(find "$dir/DataBase" -type f | wc -l)
  find "$dir/DataBase" -type f -exec cat {} + >/dev/null  # warm the page cache for both
  local v t best_v=999 best_t=999 i t0 t1
  for i in 1 2 3; do
    rm -f "$WORK/b.tar.gz" "$WORK/t.tar.gz"
    t0=$(now); "$BIN/vellaro-cli" --install-dir "$dir" backup "$WORK/b.tar.gz" >/dev/null; t1=$(now)
    v=$(python3 -c "print($t1-$t0)")
    t0=$(now); tar -czf "$WORK/t.tar.gz" -C "$dir" DataBase; t1=$(now)
    t=$(python3 -c "print($t1-$t0)")
    best_v=$(python3 -c "print(min($best_v,$v))"); best_t=$(python3 -c "print(min($best_t,$t))")
  done
  echo "snapshot of a catalogue of 50,000 pictures ($files files), best of 3, seconds:"
  echo "  vellaro-cli backup   $(printf %.2f "$best_v")   (target < 3 s)"
  echo "  tar -czf             $(printf %.2f "$best_t")   (vellaro / tar = $(ratio "$best_v" "$best_t"))"
}

bench_print() {
  # 100 photographs of 12 megapixels, one a page, into a PDF through the print command;
  # its peak memory and time a page beside decoding the same pictures at the size the
  # page needs (vipsthumbnail, the floor) and ImageMagick holding one of them whole.
  "$BIN/bench_thumbs" generate "$WORK/synthetic" 12
  local dir="$WORK/print-100" i
  rm -rf "$dir"; mkdir -p "$dir/pictures"
  for i in $(seq -w 0 99); do
    ln -s "$WORK/synthetic/synthetic-$(printf %02d $((10#$i % 12))).jpg" "$dir/pictures/p$i.jpg"
  done
  "$BIN/vellaro-cli" --install-dir "$dir/inst" new-album Print >/dev/null
  "$BIN/vellaro-cli" --install-dir "$dir/inst" add Print "$dir"/pictures/*.jpg >/dev/null
  local t0 t1 rss secs pages floor im
  t0=$(now)
  /usr/bin/time -f "%M" -o "$dir/rss" "$BIN/vellaro-cli" --install-dir "$dir/inst" print Print --pdf "$dir/out.pdf" \
    --layout one >/dev/null 2>&1
  rss=$(tail -n 1 "$dir/rss")
  t1=$(now)
  secs=$(python3 -c "print($t1-$t0)")
  pages=$(gs -q -dNODISPLAY -dNOSAFER -c "($dir/out.pdf) (r) file runpdfbegin pdfpagecount = quit")
  mkdir -p "$dir/vips"
  t0=$(now)
  VIPS_CONCURRENCY=1 vipsthumbnail --size 2334x3321 -o "$dir/vips/%s.jpg" "$dir"/pictures/*.jpg
  t1=$(now)
  floor=$(python3 -c "print(($t1-$t0)/100*1000)")
  /usr/bin/time -f "%M" -o "$dir/rss-im" /usr/bin/convert "$WORK/synthetic/synthetic-00.jpg" null: >/dev/null 2>&1
  im=$(tail -n 1 "$dir/rss-im")
  echo "printing 100 photographs of 12 megapixels one a page into a PDF ($pages pages, $(du -m "$dir/out.pdf" | cut -f1) MB):"
  echo "  peak memory          $((rss / 1024)) MB   (target < 500 MB; ImageMagick holding one of them: $((im / 1024)) MB)"
  echo "  time a page          $(python3 -c "print(f'{$secs/100*1000:.0f}')") ms"
  echo "  decoding a picture at the page's size alone (vipsthumbnail, 1 thread)  $(printf %.0f "$floor") ms   (x$(ratio "$(python3 -c "print($secs/100*1000)")" "$floor") of the floor)"
}

bench_locate() {
  local root="$WORK/locate"
  if [ ! -f "$root/.made" ]; then
    rm -rf "$root"
    "$BIN/bench_locate" generate "$root" 10000 5 >/dev/null
    touch "$root/.made"
  fi
  # Warm the page cache and the directory cache for both.
  find "$root" -iname '*.jpg*' >/dev/null
  "$BIN/bench_locate" walk "$root" >/dev/null
  local times=() walks=() t0 t1 i found=0 files
  for ((i = 0; i < 5; i++)); do
    t0=$(now); files=$(find "$root" -iname '*.jpg*' | wc -l); t1=$(now)
    times+=("$(python3 -c "print($t1-$t0)")")
    read -r _ found _ secs < <("$BIN/bench_locate" walk "$root")
    walks+=("$secs")
  done
  local f w
  f=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
  w=$(printf '%s\n' "${walks[@]}" | sort -n | sed -n 3p)
  echo "locator walk over 10,000 folders of 50,000 12-megapixel JPEG files (median of 5):"
  echo "  picture folders found  $found of 10000"
  echo "  find -iname '*.jpg*'   $(printf %.3f "$f") s   ($files files)"
  echo "  locator walk           $(printf %.3f "$w") s   (x$(ratio "$w" "$f") of find; target <= 3)"
}

case $what in
  locate) bench_locate ;;
  thumbs) bench_thumbs ;;
  previews) bench_previews ;;
  startup) bench_startup ;;
  catalogue) bench_catalogue ;;
  large) bench_large ;;
  open) bench_open ;;
  effects) bench_effects ;;
  add) bench_add ;;
  scale) bench_scale ;;
  tagmemory) bench_tagmemory ;;
  backup) bench_backup ;;
  slideshow) bench_slideshow ;;
  print) bench_print ;;
  all) bench_thumbs; bench_previews; bench_startup; bench_catalogue; bench_large; bench_open; bench_scale; bench_tagmemory; bench_add; bench_effects; bench_backup; bench_slideshow; bench_print; bench_locate ;;
  *) echo "usage: bench/run.sh [thumbs|previews|startup|catalogue|large|open|scale|tagmemory|add|effects|backup|slideshow|print|locate|all]" >&2; exit 2 ;;
esac
