#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Vask need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-translations-l10n libgl-dev \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  mdbtools poppler-utils fonts-liberation fontconfig \
  desktop-file-utils dpkg-dev sqlite3 python3 man-db \
  xvfb xauth xdotool imagemagick >/dev/null
