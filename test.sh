#!/usr/bin/env bash
# Builds Vellaro under AddressSanitizer and UndefinedBehaviorSanitizer (installing
# what is missing) and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vellaro_install_deps
cmake --preset asan-ubsan >/dev/null
cmake --build --preset asan-ubsan -j"$(nproc)"
ctest --preset asan-ubsan -j"$(nproc)" "$@"
