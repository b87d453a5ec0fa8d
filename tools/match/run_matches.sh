#!/bin/sh
# Talvo against fairymax and phalanx (both from /usr/games, which is not on root's
# PATH) through the chess.js-checked runner. Run by hand, not by ctest:
#   tools/match/run_matches.sh [games per opponent] [base seconds] [increment seconds]
# Exits non-zero when Talvo made an illegal move, lost on time or crashed.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
games=${1:-20}; base=${2:-10}; inc=${3:-0.1}
"$here/install.sh"
[ -x "$root/build/talvo" ] || (cd "$root" && ./build.sh)
out=${OUT_DIR:-$root/build/match}
mkdir -p "$out"
status=0
node "$here/match.js" --talvo "$root/build/talvo" --opponent /usr/games/fairymax \
  --games "$games" --base "$base" --inc "$inc" --pgn "$out/fairymax.pgn" --log-dir "$out" || status=1
node "$here/match.js" --talvo "$root/build/talvo" --opponent "/usr/games/phalanx -l- -c-" \
  --games "$games" --base "$base" --inc "$inc" --pgn "$out/phalanx.pgn" --log-dir "$out" || status=1
exit $status
