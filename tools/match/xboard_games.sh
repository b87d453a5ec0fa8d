#!/bin/sh
# A few games under the real xboard GUI, run without a window on a virtual display:
# Talvo against fairymax in match mode, flags called by xboard itself. The saved
# PGN is then replayed move by move with chess.js. Run by hand, not by ctest:
#   [PONDER=-ponder] tools/match/xboard_games.sh [games] [time control m:ss] [increment seconds]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
games=${1:-4}; tc=${2:-0:10}; inc=${3:-0.1}
"$here/install.sh"
[ -x "$root/build/talvo" ] || (cd "$root" && ./build.sh)
out=${OUT_DIR:-$root/build/match}
mkdir -p "$out"
work=$(mktemp -d)
rm -f "$out/xboard.pgn"
# Settings are neither read from nor saved to the user's files.
HOME=$work xvfb-run -a /usr/games/xboard -noGUI -xexit -autoflag -saveSettingsOnExit false \
  -mg "$games" -tc "$tc" -inc "$inc" ${PONDER:--xponder} \
  -fcp "$root/build/talvo" -fd "$work" -scp /usr/games/fairymax -sd "$work" \
  -sgf "$out/xboard.pgn" -debug -nameOfDebugFile "$out/xboard-debug.txt"
rm -rf "$work"
node "$here/check_pgn.js" "$out/xboard.pgn" Talvo
