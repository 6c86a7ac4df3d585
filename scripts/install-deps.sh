#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test Vardimo on a fresh Debian 12 machine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6printsupport6 libgl-dev
  postgresql
  libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-charts-dev libqt6opengl6-dev
  fonts-liberation xvfb xauth poppler-utils
  python3 desktop-file-utils openbox xdotool imagemagick
  dpkg-dev file appstream
  clang-tidy clang-format
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
