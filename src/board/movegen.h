// Move generation for the full-width search: every pseudo-legal move of a side,
// each with an ordering score, so that the search can try the likely best first.
//
// Only the cheap illegal cases are left out: king moves to attacked squares,
// castling out of, through or into check, and in single check every move that
// cannot end the check (neither captures the checker nor blocks nor moves the
// king). Pins are left to the search, whose evaluation sees a king that can be
// taken, and to generateLegalMoves, which plays every move and looks.
//
// Order: the men from the last list slot down to slot 1, each along its rays; then
// the king's ring; then castling, king side first. Scores reward the hash move,
// killers, captures (more for a recapture), pieces escaping attack and better
// squares, and punish moves into attack. What the search knows about good moves
// reaches the generators through an ordering context that the search installs.
//
// With only kings and pawns left a lean generator takes over: it guards the king
// with 64-bit pawn attack sets instead of attack maps.
#pragma once
#include <cstdint>

#include "board/position.h"
#include "board/types.h"

namespace board {

// What the search knows about good moves, as the ordering reads it, and the node
// counter that stamps the evasion marks: a mark counts while it equals the counter,
// so whoever generates advances the counter once per node. The search keeps its
// own context and installs it in the position it searches (Position::ordering);
// until then, and in tools that generate without searching, the generators read
// EmptyOrdering.
constexpr int OrderingPlies = 64;
struct OrderingContext {
    Move hashMove;                      // transposition-table move of the node being generated
    Move killer1[OrderingPlies];        // two killers per ply (16-bit move parts)
    Move killer2[OrderingPlies];
    Move bestMoveAtPly[OrderingPlies];  // the best move last found at each ply
    int history[2][64][64];             // by side, from square, to square
    int64_t nodeCount;
};
extern const OrderingContext EmptyOrdering;

// All moves of side, scored; both attack maps must be current and the per-ply move
// history filled up to ply - 1. At ply 0 neither the killers nor the hash move
// are read.
int generateMoves(Position& pos, ScoredMove* list, int side, int ply);
// Kings and pawns only (non-pawn material 0).
int generatePawnEndingMoves(Position& pos, ScoredMove* list, int side);
// Exactly the legal moves, MoveCheck set on those that give check. Plays each move
// in save slot ply. Leaves the attack maps of the last move tried behind.
int generateLegalMoves(Position& pos, ScoredMove* list, int side, int ply);

// ---- Shared with the capture and check generators --------------------------------
// Appends one entry at the cursor.
void appendMove(Position& pos, int score, Move move);
// With kings and pawns only: the squares side's king may not enter (enemy pawn
// attacks and the enemy king's neighbours).
uint64_t kingFence(const Position& pos, int side);
// With kings and pawns only, side's king checked by a pawn: the pawn captures of
// the checker, en passant included.
void appendPawnEndingCheckCaptures(Position& pos, int side, int kingSquare);
// A pawn capture (score 100) in a pawn ending.
void appendPawnCapture(Position& pos, int from, int to);
// c is side's en passant target with the enemy pawn behind it.
bool isEnPassantTarget(const Position& pos, int c, int side);

// Scores one move and appends it (four entries for a promotion).
void scoreAndAddMove(Position& pos, int from, int to, Move flags);
// Marks the squares where a man can end the single check on the king's square.
void markEvasionSquares(Position& pos, int kingSquare, int attackerSide);

}  // namespace board
