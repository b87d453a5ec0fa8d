// Static evaluation of a position, in centipawns from the side to move.
//
// The cheap and decisive tests come first (draw by rule, king capture, tablebases,
// bare king), then material with placement and the pawn structure, and only when
// the score could matter for the node's bound the expensive piece terms: otherwise
// the parent's piece-terms score is reused with its sign changed (lazy evaluation).
// Endgame corrections for drawish material come last.
#pragma once

#include "board/position.h"
#include "board/types.h"

namespace eval {

// What the node search may conclude from a score.
enum EvalStatus : int {
    EvalNormal = 0,  // an ordinary estimate
    EvalExact = 1,   // final; may be stored with unlimited depth
    EvalLeaf = 2,    // stop searching here and return the score
};

constexpr int NoMateLimit = 64;

// What the evaluation keeps along the line a search is on: every search has its
// own (search::SearchState).
struct EvalLine {
    // Ply limit of a mate search, set by the root search once a mate has been
    // found; NoMateLimit means an ordinary search. The evaluation stops valuing
    // positions at this ply.
    int mateLimit = NoMateLimit;
    // The piece-terms score computed or inherited at each ply of the current
    // line, from the point of view of the side to move at that ply.
    int positionalAtPly[66] = {};
};

// Evaluates pos for side, building both attack maps on the way. bound is the node's
// search bound, ply its distance from the root; moveIn (may be null) is the entry
// through which the position was reached and receives MoveCheck when side is in
// check. line is the searching line's: its mate limit, and the piece terms of the
// plies above, which a lazy evaluation inherits.
int evaluate(board::Position& pos, EvalLine& line, int side, int bound, int depthLimit, int ply,
             board::ScoredMove* moveIn, int* status);

// Pawn structure for side, from the cache or computed and stored.
int pawnStructureScore(board::Position& pos, int side);
// The draw score at a ply: the position's draw value at even plies, negated at odd.
int drawScore(const board::Position& pos, int ply);

// A tablebase answer r at ply: 0 is the draw score, mates are counted from the root.
int tablebaseScoreAtPly(const board::Position& pos, int r, int ply);
// How far the estimate may lie from the bound before the piece terms are skipped:
// wide before the horizon, narrowing beyond it.
int lazyMargin(int depthLimit, int ply);

// The breakdown of one evaluation, for talvo-tools eval.
struct EvalTrace {
    int material = 0;       // materialSum difference plus the side-to-move bonus
    int pawnStructure = 0;
    int passedPawns = 0;
    int kingShelter = 0;
    int bishopPair = 0;
    int pieceTerms[2] = {0, 0};  // white's and black's own totals
    int phase = 0;
    int status = EvalNormal;
    int score = 0;
};
// Evaluates pos for side as a root of its own, with no lazy cut, and records the
// parts.
EvalTrace traceEvaluation(board::Position& pos, int side);

}  // namespace eval
