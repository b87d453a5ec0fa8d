#!/bin/sh
# Builds the fuzzing harnesses (libFuzzer, clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer; clang-14 and libclang-rt-14-dev are installed when
# missing) and runs each for a bounded time, one after the other, on its committed
# seeds (fuzz/corpus/NAME) plus what earlier runs here found (build-fuzz/corpus).
#   fuzz/run.sh [seconds per harness]      default 60, or FUZZ_SECONDS
# Prints one line per harness: runs, corpus size, result. Exits 1 when one found
# a crash, a leak or an input that runs too long; the input is kept in
# build-fuzz/artifacts/ and replays with: build-fuzz/fuzz_NAME FILE
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-${FUZZ_SECONDS:-60}}
if ! command -v clang++-14 >/dev/null || ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y clang-14 libclang-rt-14-dev
fi
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j2 >/dev/null
mkdir -p build-fuzz/artifacts
status=0
# harness:longest input in bytes
for entry in command_stream:512 fen_search:256 ini_file:2048 learn_file:2048 book_file:4096 datacomp:24576; do
  name=${entry%%:*}; maxlen=${entry#*:}
  # The engine reads and writes its files in the folder it runs in.
  work=$root/build-fuzz/work-$name
  rm -rf "$work"; mkdir -p "$work" "build-fuzz/corpus/$name"
  result=ok
  (cd "$work" && "$root/build-fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$maxlen" -timeout=60 \
     -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$root/build-fuzz/artifacts/$name-" \
     "$root/build-fuzz/corpus/$name" "$root/fuzz/corpus/$name" >"$work/log" 2>&1) || result=FAILED
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  corpus=$(ls "build-fuzz/corpus/$name" "fuzz/corpus/$name" | grep -vc -e '^$' -e ':$')
  echo "fuzz $name: ${runs:-?} runs in ${seconds} s, corpus $corpus inputs, $result"
  if [ "$result" != ok ]; then
    grep -E -A12 'ERROR|runtime error|Test unit written' "$work/log" | head -40
    status=1
  fi
done
exit $status
