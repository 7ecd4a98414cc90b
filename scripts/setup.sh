#!/usr/bin/env bash
# Installs what Quorvane needs to build and run (Debian 12), then builds it.
# Quick when nothing is missing and nothing changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  libbenchmark-dev libdtl-dev fonts-dejavu-core xdg-utils
  dpkg-dev file xvfb xauth xdotool
  clang libclang-rt-14-dev desktop-file-utils
  libcurl4-openssl-dev qtkeychain-qt6-dev libssl-dev
  libarchive-dev
  libqscintilla2-qt6-dev
  unzip  # only the unpacking benchmark's reference
  openssh-server openssh-client vsftpd openssl curl
  hunspell-en-us
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${QV_BUILD_DIR:-build}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)"
