#!/usr/bin/env bash
# Shared by run.sh, test.sh and fuzz.sh: install what is missing, configure
# and build.
set -euo pipefail

QZR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The Debian 12 packages the project builds and runs with.
QZR_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-webengine-dev
  libcurl4-openssl-dev curl libboost-context-dev
  xvfb xauth
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  libgstreamer1.0-dev libgstrtspserver-1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad gstreamer1.0-x
  gstreamer1.0-tools gstreamer1.0-libav
  dpkg-dev help2man desktop-file-utils appstream lintian bash-completion man-db
  iproute2
  ansible-core
)

qzr_install_packages() {
  local missing=()
  local package
  for package in "${QZR_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$package")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# qzr_build BUILD_DIR [extra cmake arguments...]
qzr_build() {
  local build_dir=$1
  shift
  cmake -S "$QZR_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$build_dir" -j"$(nproc)"
}
