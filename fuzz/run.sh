#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer; installs what is missing) and runs each one for SECONDS
# (30 by default) from its seed corpus in fuzz/corpus/<target>/, copied first: the
# repository is never written. Exits non-zero when a target finds a crash, a sanitizer
# report, a hang, a failed round trip or a memory blow-up, naming the target and its
# reproducer.
#
#   fuzz/run.sh [SECONDS] [TARGET...]      TARGET: property album library namelist lock picture
#   fuzz/run.sh 0                          builds the targets only (build/fuzz/bin/fuzz_*)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
[ $# -gt 0 ] && shift
case "$seconds" in
  '' | *[!0-9]*) echo "usage: fuzz/run.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(property album library namelist lock picture)

. scripts/deps.sh
vellaro_install_deps
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
# 0 seconds: build only (libFuzzer would take -max_total_time=0 as no limit).
[ "$seconds" -eq 0 ] && exit 0

# The longest input each target is given: catalogue files are small text files; the
# pictures get room for real small photographs.
max_len() {
  case "$1" in
    picture) echo 262144 ;;
    lock) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

work=$(mktemp -d "${TMPDIR:-/tmp}/vellaro-fuzz-run.XXXXXX")
found=()
# Qt has no frame pointers: the quick stack walk through it finds ever "new" allocation
# stacks, and recording them comes to dominate a long run. One frame is kept.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=1}"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  binary=build/fuzz/bin/fuzz_$target
  if [ ! -x "$binary" ] || [ ! -d "fuzz/corpus/$target" ]; then
    echo "fuzz/run.sh: no target \"$target\"" >&2
    exit 2
  fi
  mkdir -p "$work/$target/corpus" "$work/$target/found"
  cp -r "fuzz/corpus/$target/." "$work/$target/corpus/"
  log=$work/$target/log.txt
  status=0
  "$binary" "$work/$target/corpus" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 -artifact_prefix="$work/$target/found/" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    reproducer=$(find "$work/$target/found" -type f | head -n 1)
    echo "fuzz_$target: FOUND A PROBLEM (exit $status) after ${runs:-?} runs"
    grep -E "==== vellaro fuzz:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY:" "$log" \
      | head -n 5 | sed 's/^/  /' || true
    echo "  reproducer: ${reproducer:-none written}"
    echo "  log:        $log"
    echo "  again:      ASAN_OPTIONS= $binary ${reproducer:-<reproducer>}"
    found+=("$target")
  else
    echo "fuzz_$target: ${runs:-?} runs, ${speed:-?}/s, nothing found"
    rm -rf "${work:?}/$target"
  fi
done

if [ ${#found[@]} -gt 0 ]; then
  echo "fuzz/run.sh: problems found by: ${found[*]} (kept in $work)" >&2
  exit 1
fi
rm -rf "$work"
