// Standard algebraic notation (Nf3, exd5, O-O, e8=Q) for moves of a position, as
// games and test suites write them.
#pragma once
#include "board/position.h"
#include "board/types.h"

namespace board {

// The SAN of move among the legal moves of pos's side to move (list as
// generateLegalMoves leaves it, MoveCheck flags included). The check mark "+" is
// added from the flag; mate is not told apart. The text lives in a buffer
// overwritten by the next call.
const char* moveToSan(const Position& pos, Move move, const ScoredMove* legal, int count);

// The legal move whose SAN is text (check marks, "x" and annotation signs are
// optional), or NoMove.
Move parseSan(const Position& pos, const char* text, const ScoredMove* legal, int count);

}  // namespace board
