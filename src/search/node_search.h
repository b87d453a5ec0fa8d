// Node search state: the tables the recursive search keeps per ply and per search.
//
// Move ordering (board/movegen) reads the killers, the best move of each ply, the
// history counters and the hash move of the node; the root preparation clears them
// all before every search. The per-ply key history and the move made at each ply
// are the save slots of make and unmake: board::plyState[ply].key and .move.
//
// Move lists of the whole tree share one array: a node generates at the free
// position it is handed and gives its children the position just behind its list.
// The root list sits at the beginning.
#pragma once
#include <cstdint>

#include "board/types.h"

namespace search {

constexpr int MaxPly = 64;
constexpr int MoveListCapacity = 2000;
constexpr int RootLineLength = 16;  // root move, the node search's line, terminator

// Counted at every node; also the stamp that makes evasion marks of earlier nodes
// lapse. 64 bits, so that a long analysis can never wrap it.
extern int64_t nodeCount;
// Transposition-table move of the node being generated; 0 at the root.
extern board::Move hashMove;
// Two killers per ply and the best move last found there (16-bit move parts).
extern board::Move killer1[MaxPly];
extern board::Move killer2[MaxPly];
extern board::Move bestMoveAtPly[MaxPly];
// By side, from square, to square; capped at 1048576 by the search.
extern int history[2][64][64];
extern board::ScoredMove moveList[MoveListCapacity];
// The best line of the root, 0-terminated.
extern board::Move rootPV[RootLineLength];

// Clears every table above: called by the root preparation before each search.
void clearSearchTables();

}  // namespace search
