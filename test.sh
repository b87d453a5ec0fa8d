#!/bin/sh
# Builds and runs every test: the Release build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer, then every fuzzing harness for about a minute (FUZZ_SECONDS).
# Extra arguments go to ctest.
set -e
cd "$(dirname "$0")"
# The tablebase tests also check the engine against an independent prober when
# Debian's Gaviota tables and library are there; they are fetched when missing.
if [ ! -d /usr/share/gaviotatb ] || [ ! -f /usr/include/gtb-probe.h ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  { $SUDO apt-get update && $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y gaviotatb libgaviotatb-dev; } \
    >/dev/null 2>&1 || echo "gaviotatb not available: the independent tablebase check is skipped"
fi
./build.sh
ctest --test-dir build -j2 --output-on-failure "$@"
BUILD_DIR=build-sanitize ./build.sh -DTALVO_SANITIZE=ON
ctest --test-dir build-sanitize -j2 --output-on-failure "$@"
# The threaded tests (their names hold "Thread") once more under ThreadSanitizer.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Release -DTALVO_TSAN=ON >/dev/null
cmake --build build-tsan -j2 --target search_tests driver_tests
ctest --test-dir build-tsan -j2 --output-on-failure -R Thread
fuzz/run.sh
