// Root preparation and the piece-square tables.
//
// Before every search (and before the driver lists the legal moves) the derived
// board state is rebuilt from the squares, and the piece-square tables are built
// for this root: from its game phase, where the two kings stand and how the pawns
// can run. The search then values every position of its tree with these tables.
// Each entry includes the man's base value, so a side's materialSum is material
// and placement in one number that make and unmake keep with plain look-ups.
#pragma once
#include "board/position.h"

namespace eval {

// 0 with full material .. 10 in the endgame; set by the evaluation, on each
// search thread for its own.
extern thread_local constinit int gamePhase;

// Game phase of a non-pawn material total: 0 above 6199, 10 below 1360.
constexpr int gamePhaseOf(int material) {
    if (material > 6199) return 0;
    if (material < 1360) return 10;
    return (6200 - material) / 484;
}
// A scale that reaches the endgame sooner: 0 above 3440, 10 below 1360.
constexpr int phaseScaleFast(int material) {
    if (material > 3440) return 0;
    if (material < 1360) return 10;
    return (3440 - material) / 208;
}

// How freely the pawn on square can run: 0 when the square holds no pawn or any
// pawn stands ahead of it on its file, 2 when no square ahead is attacked by an
// enemy pawn, 1 otherwise. Reads the attack maps.
int pawnRunState(const board::Position& pos, int square);

// Builds pos.pieceSquare (by colour, piece code and square; codes 0 and 7 stay 0)
// from the squares, pawn sets and attack maps of pos.
void buildPieceSquareTables(board::Position& pos);

// Empties the pawn evaluator, rebuilds the position's derived state from the
// squares (Position::rebuildDerivedState), then the piece-square tables and the
// material sums they give. Returns false when the position cannot be held (see
// Position::rebuildDerivedState). The search's preparation (search::prepareSearch)
// calls it and then clears the search's own tables.
bool prepareRoot(board::Position& pos, int sideToMove);

}  // namespace eval
