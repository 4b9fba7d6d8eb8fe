#!/usr/bin/env bash
# Installs the Debian packages Vellaro needs to build, test and run, only those that
# are missing. Sourced by run.sh and test.sh.
set -euo pipefail

VELLARO_PACKAGES=(
  build-essential cmake pkgconf ccache clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins qt6-qpa-plugins
  libsane-dev libsane1 sane-utils libgif-dev libxcb1-dev zlib1g-dev libexiv2-dev libarchive-dev libgmime-3.0-dev
  xvfb xauth x11-utils xdotool xclip openbox imagemagick ghostscript fonts-dejavu-core xdg-utils python3
  desktop-file-utils appstream
  groff-base libimage-exiftool-perl
)

vellaro_missing_packages() {
  local missing=() p
  for p in "${VELLARO_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  echo "${missing[@]:-}"
}

# vellaro_install_deps [extra packages...]
vellaro_install_deps() {
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "This set-up expects a Debian 12 machine (dpkg and apt-get)." >&2
    echo "Install Qt 6.4 (Widgets, Concurrent, PrintSupport, Svg, Test), giflib, SANE, xcb and CMake by hand." >&2
    return 1
  fi
  local missing
  missing=$(vellaro_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null || { command -v sudo >/dev/null 2>&1 && [ -t 0 ]; }; then
      sudo="sudo"
    else
      echo "Vellaro needs these Debian packages, and installing them needs root or sudo:" >&2
      echo "  $missing" >&2
      echo "Run this script as root, or install them with: apt-get install $missing" >&2
      return 1
    fi
  fi
  echo "Installing: $missing"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  # shellcheck disable=SC2086
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}
