#!/bin/sh
# Builds and runs every test: the Release build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then every fuzzing harness for
# about a minute (FUZZ_SECONDS). Extra arguments go to ctest.
set -e
cd "$(dirname "$0")"
./build.sh
ctest --test-dir build -j2 --output-on-failure "$@"
BUILD_DIR=build-sanitize ./build.sh -DTALVO_SANITIZE=ON
ctest --test-dir build-sanitize -j2 --output-on-failure "$@"
fuzz/run.sh
