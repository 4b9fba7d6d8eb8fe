#!/usr/bin/env bash
# Builds an optimised Vellaro (installing what is missing) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vellaro_install_deps
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: start Vellaro from a desktop session, or under Xvfb: xvfb-run -a ./run.sh" >&2
  exit 1
fi
exec ./build/release/bin/vellaro "$@"
