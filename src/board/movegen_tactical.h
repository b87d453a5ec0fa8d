// The short lists of the quiescence search: captures and queen promotions,
// optionally followed by safe checks against the enemy king, and checks alone for
// the mate-threat test. Same cursor and work variables as the full generator; both
// attack maps must be current.
//
// A check is safe when a man of the right kind already attacks the checking square
// and the opponent cannot simply take the checker: for a knight, our remaining
// attackers must outnumber the defence; for a slider, the square must be undefended
// or defended by the king alone while we attack it twice.
#pragma once
#include "board/position.h"
#include "board/types.h"

namespace board {

// Captures (most valuable victim first by score) and queen promotions of side; with
// checks, safe checks follow. Called at ply 1 or deeper.
int generateCaptures(Position& pos, ScoredMove* list, int side, int ply, bool withChecks);
// The same with kings and pawns only.
int generatePawnEndingCaptures(Position& pos, ScoredMove* list, int side);
// Safe checks of side against the enemy king, captures included.
int generateChecks(Position& pos, ScoredMove* list, int side);
// Scores one capture or queen promotion and appends it.
void scoreAndAddCapture(Position& pos, int from, int to, Move flags);
// The square of side's man of the given kind whose rays reach square, or -1 when
// none does (a map that does not match the board).
int findPieceReaching(const Position& pos, int side, int square, int kind);
// The square of side's rook on square's file or rank with nothing between, or -1.
int findRookReaching(const Position& pos, int side, int square);

}  // namespace board
