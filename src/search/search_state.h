// The search's per-line state: what one search keeps while it walks its tree,
// beside the position it walks it on. A search owns one; the engine's own is
// MainSearch, made in driver/globals.cpp, and a second search would make another.
//
// Move ordering (board/movegen) reads the killers, the best move of each ply, the
// history counters and the hash move of the node through the search's ordering
// context, which also holds the node counter; prepareSearch installs it in the
// position and clears it with the rest before every search. The per-ply key
// history and the move made at each ply are the position's save slots of make and
// unmake (Position::slots).
//
// Move lists of the whole tree share one array: a node generates at the free
// position it is handed and gives its children the position just behind its list.
// The root list sits at the beginning.
#pragma once
#include <atomic>
#include <cstdint>

#include "board/movegen.h"
#include "board/position.h"
#include "board/types.h"
#include "eval/evaluate.h"

namespace search {

constexpr int MaxPly = 64;
static_assert(MaxPly == board::OrderingPlies);
constexpr int MoveListCapacity = 2000;
// Room behind the last list a node may start: a node whose list would start past
// the capacity searches no further, so one whole list always fits behind it.
constexpr int MoveListSlack = 512;
constexpr int RootLineLength = 16;  // root move, the node search's line, terminator
// The line of each ply, 0-terminated. Lines are kept for the first plies only:
// below ply LinePlies a node reports its best line, and the root takes at most
// that many moves from its child. Deeper nodes save the copy, which would run at
// every node for moves the thinking output hardly ever shows.
constexpr int LineLength = 16;
constexpr int LinePlies = 8;
// History counters (ordering.history, by side, from square, to square) hold the
// sum of depth squared over the nodes where the move proved best, capped at 2^20
// so that the ordering's scaling (times 128) cannot overflow an int.
constexpr int HistoryCap = 1048576;

struct SearchState {
    // Clears every table below, so that nothing of an earlier search survives.
    void clear();

    // Killers, best move per ply (16-bit move parts), history, the hash move of
    // the node being generated, and the node counter: counted at every node and
    // the stamp that makes evasion marks of earlier nodes lapse. 64 bits, so that
    // a long analysis can never wrap it.
    board::OrderingContext ordering;
    board::ScoredMove moveList[MoveListCapacity + MoveListSlack];
    board::Move rootPV[RootLineLength];  // the best line of the root, 0-terminated
    board::Move pvAtPly[MaxPly][LineLength];
    int pollCounter;  // nodes since the last look at the input
    // Keys of the game positions before the root that a repetition may reach.
    const board::HashKey* gameKeysBegin;
    const board::HashKey* gameKeysEnd;
    // The evaluation's part: the mate limit and the piece terms of each ply.
    eval::EvalLine evalLine;
    // A helper thread's search (search/threads.h) stops when this flag is set and
    // never reads the interface; the main search has none and obeys searchStopped.
    const std::atomic<int>* helperStop = nullptr;
};
extern SearchState MainSearch;  // defined in driver/globals.cpp

// Before every search (and before the driver lists the legal moves, whose order
// the history decides): the evaluation's root preparation of pos
// (eval::prepareRoot), then state's ordering context installed in pos and state
// cleared. False when the position cannot be held.
bool prepareSearch(board::Position& pos, SearchState& state, int side);

}  // namespace search
