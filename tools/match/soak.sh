#!/bin/sh
# Soak by hand (not part of the tests): fast games in a row against fairymax,
# phalanx and Talvo itself with pondering, every move checked, memory per game.
#   tools/match/soak.sh [games per opponent] [base seconds] [increment seconds]
# The default, 70 games each at 2 s + 0.02 s, makes 210 games.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
games=${1:-70}; base=${2:-2}; inc=${3:-0.02}
"$here/install.sh"
[ -x "$root/build/talvo" ] || (cd "$root" && ./build.sh)
out=${OUT_DIR:-$root/build/match}
mkdir -p "$out"
exec node "$here/soak.js" --talvo "$root/build/talvo" --games "$games" --base "$base" --inc "$inc" --log-dir "$out"
