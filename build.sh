#!/bin/sh
# Builds Talvo (Release) into build/, installing the Debian packages it needs when missing.
# Usage: ./build.sh [extra cmake arguments]; BUILD_DIR overrides the folder.
set -e
cd "$(dirname "$0")"
if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || [ ! -f /usr/include/gtest/gtest.h ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y cmake g++ make libgtest-dev
fi
dir=${BUILD_DIR:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j2
