// Node search state: the tables the recursive search keeps per ply and per search.
//
// Move ordering (board/movegen) reads the killers, the best move of each ply, the
// history counters and the hash move of the node through the search's ordering
// context, which also holds the node counter; prepareSearch installs it and clears
// it with the rest before every search. The per-ply key history and the move made
// at each ply are the save slots of make and unmake: board::plyState[ply].key and
// .move.
//
// Move lists of the whole tree share one array: a node generates at the free
// position it is handed and gives its children the position just behind its list.
// The root list sits at the beginning.
#pragma once
#include <cstdint>

#include "board/movegen.h"
#include "board/types.h"

namespace search {

constexpr int MaxPly = 64;
constexpr int MoveListCapacity = 2000;
// Room behind the last list a node may start: a node whose list would start past
// the capacity searches no further, so one whole list always fits behind it.
constexpr int MoveListSlack = 512;
constexpr int RootLineLength = 16;  // root move, the node search's line, terminator

// The search's ordering context; the names below are its fields.
static_assert(MaxPly == board::OrderingPlies);
extern board::OrderingContext Ordering;
// Counted at every node; also the stamp that makes evasion marks of earlier nodes
// lapse. 64 bits, so that a long analysis can never wrap it.
inline constexpr int64_t& nodeCount = Ordering.nodeCount;
// Transposition-table move of the node being generated; 0 at the root.
inline constexpr board::Move& hashMove = Ordering.hashMove;
// Two killers per ply and the best move last found there (16-bit move parts).
inline constexpr board::Move (&killer1)[MaxPly] = Ordering.killer1;
inline constexpr board::Move (&killer2)[MaxPly] = Ordering.killer2;
inline constexpr board::Move (&bestMoveAtPly)[MaxPly] = Ordering.bestMoveAtPly;
// By side, from square, to square: the sum of depth squared over the nodes where
// the move proved best. Capped at 2^20 so that the ordering's scaling (times 128)
// cannot overflow an int.
constexpr int HistoryCap = 1048576;
inline constexpr int (&history)[2][64][64] = Ordering.history;
extern board::ScoredMove moveList[MoveListCapacity + MoveListSlack];
// The best line of the root, 0-terminated.
extern board::Move rootPV[RootLineLength];

// Clears every table above.
void clearSearchTables();
// Before every search (and before the driver lists the legal moves, whose order
// the history decides): the evaluation's root preparation (eval::prepareRoot),
// then the ordering context installed and every table above cleared, so that
// nothing of an earlier search survives. False when the position cannot be held.
bool prepareSearch(int side);

// ---- The node search ------------------------------------------------------------
// Deepest ply the search enters: beyond it a node returns its static score.
constexpr int MaxSearchPly = 61;
// The line of each ply, 0-terminated. Lines are kept for the first plies only:
// below ply LinePlies a node reports its best line, and the root takes at most
// that many moves from its child. Deeper nodes save the copy, which would run at
// every node for moves the thinking output hardly ever shows.
constexpr int LineLength = 16;
constexpr int LinePlies = 8;
extern board::Move pvAtPly[MaxPly][LineLength];
// Nodes since the last look at the input.
extern int pollCounter;
// Keys of the game positions before the root that a repetition may reach.
extern const board::HashKey* gameKeysBegin;
extern const board::HashKey* gameKeysEnd;

// One node below the root: an alpha-beta search with a single bound, answering
// whether the position is worth more than the bound (from side's view). Returns
// the best score found; 0 at once when the search was stopped.
//   freeList   where this node may write its move list
//   moveIn     the entry of the move that led here (gets MoveCheck when in check)
//   pvOut      receives the best move and the line behind it (plies below 8)
//   budget     extensions the line may still receive
//   swing      material the side to move won along the recent captures
//   tieSide    the side for which a score equal to the bound is a fail high, or
//              NoTieSide
constexpr int NoTieSide = 2;  // a score equal to the bound is a fail high for neither side
int searchNode(int side, int ply, int depthLimit, board::ScoredMove* freeList, board::ScoredMove* moveIn,
               int bound, board::Move* pvOut, int budget, int swing, int tieSide);

}  // namespace search
