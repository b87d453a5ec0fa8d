#!/bin/bash
# The time-control sweep, by hand (not part of the tests): every control below
# against fairymax and against phalanx through sweep.js, each SUMMARY appended to
# build/sweep/results.jsonl, then a markdown table of this sweep.
#
#   tools/match/sweep.sh [games per control and opponent]    (default 10)
#   tools/match/sweep.sh --list                              the controls' names
#
# Environment:
#   CONTROLS="xb-st1 uci-movetime100"   only these controls (names from --list)
#   OPPONENTS="fairymax"                only these opponents (fairymax, phalanx)
#   TALVO=path                          another build of the engine (a sanitizer build, say)
#   PARALLEL=k                          k matches at once (default 1; each match needs a core)
#   OUT_DIR=dir                         instead of build/sweep
# Logs per match in OUT_DIR (NAME-OPPONENT.log, .pgn), Talvo's transcripts of
# faulty games in OUT_DIR/logs. Exits 1 when Talvo lost on time, moved
# illegally, crashed or quit badly in any match.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

all_controls="xb-1+0.01 xb-2+0.02 xb-2+0.02-reserve200 xb-0+1 xb-5+0.1 xb-40in60 xb-st1 xb-sd8-5s
uci-1+0.01 uci-2+0.02 uci-10+0.1 uci-40in60 uci-movetime100"

# Sets control_args to the sweep.js options of a control.
control_args() {
  case "$1" in
    xb-1+0.01)            control_args=(--protocol xboard --base 1 --inc 0.01) ;;
    xb-2+0.02)            control_args=(--protocol xboard --base 2 --inc 0.02) ;;
    xb-2+0.02-reserve200) control_args=(--protocol xboard --base 2 --inc 0.02 --ini "TIME_RESERVE 200") ;;
    xb-0+1)               control_args=(--protocol xboard --base 0 --inc 1) ;;
    xb-5+0.1)             control_args=(--protocol xboard --base 5 --inc 0.1) ;;
    xb-40in60)            control_args=(--protocol xboard --mps 40 --base 60 --inc 0) ;;
    xb-st1)               control_args=(--protocol xboard --st 1) ;;
    xb-sd8-5s)            control_args=(--protocol xboard --base 5 --inc 0 --sd 8) ;;
    uci-1+0.01)           control_args=(--protocol uci --base 1 --inc 0.01) ;;
    uci-2+0.02)           control_args=(--protocol uci --base 2 --inc 0.02) ;;
    uci-10+0.1)           control_args=(--protocol uci --base 10 --inc 0.1) ;;
    uci-40in60)           control_args=(--protocol uci --mps 40 --base 60 --inc 0) ;;
    uci-movetime100)      control_args=(--protocol uci --movetime 100) ;;
    *) return 1 ;;
  esac
}

opponent_command() {
  case "$1" in
    fairymax) echo /usr/games/fairymax ;;
    phalanx)  echo "/usr/games/phalanx -l- -c-" ;;
    *) return 1 ;;
  esac
}

if [ "${1:-}" = "--list" ]; then
  for c in $all_controls; do
    control_args "$c"
    printf '%-22s' "$c"; printf ' %q' "${control_args[@]}"; echo
  done
  exit 0
fi

games=${1:-10}
controls=${CONTROLS:-$all_controls}
opponents=${OPPONENTS:-fairymax phalanx}
parallel=${PARALLEL:-1}
for c in $controls; do control_args "$c" || { echo "sweep.sh: unknown control $c (see --list)" >&2; exit 2; }; done
for o in $opponents; do opponent_command "$o" >/dev/null || { echo "sweep.sh: unknown opponent $o" >&2; exit 2; }; done

"$here/install.sh" || exit 2
if [ -n "${TALVO:-}" ]; then
  talvo=$(realpath "$TALVO") || exit 2
else
  talvo=$root/build/talvo
  [ -x "$talvo" ] || (cd "$root" && ./build.sh) || exit 2
fi
[ -x "$talvo" ] || { echo "sweep.sh: no engine at $talvo" >&2; exit 2; }

out=${OUT_DIR:-$root/build/sweep}
mkdir -p "$out/logs"
export SWEEP_RUN
SWEEP_RUN=$(date +%Y%m%d-%H%M%S)-$$

run_one() {
  local control=$1 opponent=$2 log=$out/$1-$2.log
  control_args "$control"
  node "$here/sweep.js" --talvo "$talvo" --opponent "$(opponent_command "$opponent")" --games "$games" \
    --name "$control" --pgn "$out/$control-$opponent.pgn" --log-dir "$out/logs" "${control_args[@]}" >"$log" 2>&1
  local status=$?
  echo "$status" >"$log.status"
  echo "$control vs $opponent: $(grep -m1 '^Talvo: +' "$log" || echo "no result, status $status (see $log)")"
}

echo "sweep $SWEEP_RUN: $games games per control and opponent, Talvo $talvo, $parallel at once"
for c in $controls; do
  for o in $opponents; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
    rm -f "$out/$c-$o.log.status"
    run_one "$c" "$o" &
  done
done
wait

status=0
for c in $controls; do
  for o in $opponents; do
    log=$out/$c-$o.log
    if grep -q '^SUMMARY ' "$log" 2>/dev/null; then
      grep '^SUMMARY ' "$log" | sed 's/^SUMMARY //' >>"$out/results.jsonl"
    else
      echo "sweep.sh: $c vs $o gave no summary (see $log)" >&2
      status=1
    fi
    [ "$(cat "$log.status" 2>/dev/null)" = 0 ] || status=1
  done
done
echo
node "$here/table.js" --run "$SWEEP_RUN" "$out/results.jsonl"
exit $status
