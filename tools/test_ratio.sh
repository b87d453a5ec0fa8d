#!/bin/sh
# Lines of test code against lines of engine code: tests/ against src/, tools/ and
# fuzz/ (C++ sources and headers). The house rule keeps it at a quarter to a third.
cd "$(dirname "$0")/.." || exit 1
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -exec cat {} + | wc -l; }
tests=$(count tests)
code=$(( $(count src tools) + $(count fuzz -maxdepth 1) ))
echo "tests  $tests lines"
echo "code   $code lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio  %.1f %%\n", 100 * t / c }'
