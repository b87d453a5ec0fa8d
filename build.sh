#!/bin/sh
# Builds Talvo (Release) into build/, installing the Debian packages it needs when missing.
# Usage: ./build.sh [extra cmake arguments]; BUILD_DIR overrides the folder.
#
# PGO=1 builds the engine profile-guided: an instrumented build in BUILD_DIR-profile
# runs the bench, and the build proper is compiled with what that run measured.
# It is off by default: on the engine as it stands it measured no faster. Sanitizer
# and fuzzing builds never use it.
set -e
cd "$(dirname "$0")"
needs_gtest=1
case " $* " in *TALVO_TESTS=OFF*) needs_gtest=0 ;; esac
if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || { [ "$needs_gtest" = 1 ] && [ ! -f /usr/include/gtest/gtest.h ]; }; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y cmake g++ make libgtest-dev
fi
dir=${BUILD_DIR:-build}
pgo=${PGO:-0}
case " $* " in *TALVO_SANITIZE=ON*|*TALVO_TSAN=ON*|*TALVO_FUZZ=ON*) pgo=0 ;; esac
if [ "$pgo" = 1 ]; then
  profile_build=$dir-profile
  case "$profile_build" in
    /*) profile=$profile_build/profile ;;
    *) profile=$(pwd)/$profile_build/profile ;;
  esac
  cmake -S . -B "$profile_build" -DCMAKE_BUILD_TYPE=Release -DTALVO_TESTS=OFF -DTALVO_PROFILE=generate \
    -DTALVO_PROFILE_DIR="$profile" >/dev/null
  cmake --build "$profile_build" -j2 --target talvo
  # A fresh profile whenever the instrumented engine changed.
  if [ ! -f "$profile/.stamp" ] || [ "$profile_build/talvo" -nt "$profile/.stamp" ]; then
    rm -rf "$profile"
    mkdir -p "$profile"
    (cd "$profile" && ../talvo bench 6 >/dev/null)
    touch "$profile/.stamp"
  fi
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTALVO_PROFILE=use -DTALVO_PROFILE_DIR="$profile" "$@" >/dev/null
else
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTALVO_PROFILE= "$@" >/dev/null
fi
cmake --build "$dir" -j2
