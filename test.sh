#!/usr/bin/env bash
# Builds Vellaro under AddressSanitizer and UndefinedBehaviorSanitizer (installing
# what is missing) and runs every test headless, then each fuzz target for 30 s
# (VELLARO_FUZZ_SECONDS=N for N seconds each, 0 for none).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vellaro_install_deps
cmake --preset asan-ubsan >/dev/null
cmake --build --preset asan-ubsan -j"$(nproc)"
ctest --preset asan-ubsan -j"$(nproc)" "$@"
fuzz_seconds=${VELLARO_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
  fuzz/run.sh "$fuzz_seconds"
fi
