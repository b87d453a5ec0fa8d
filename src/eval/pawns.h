// Pawn structure: isolated, backward, doubled, passed and blocked pawns.
//
// Every pawn adds a structure term and an endgame term; the game phase blends the
// two when the score is read. Pawn structures repeat all over a search, so results
// are cached in 32768 entries of 64 bytes (2 MB), picked by the low 15 bits of the
// pawn key and verified by both full pawn sets: a hit is exact, a collision only
// costs a recomputation. Alongside the score the same pass yields the files of
// passed and of weak pawns and each side's front attack span, which the piece terms
// read later without recomputing.
//
// The two pawn sets and the pawn key belong to the position (board/position.h),
// whose make and unmake keep them current; the king's ring and the file spans
// among the square masks are the board's fixed tables. The object's own masks are
// fixed tables that the other evaluation terms use as well.
#pragma once
#include <cstdint>

#include "board/position.h"
#include "board/types.h"

namespace eval {

using board::SquareSet;
using board::squareBit;

// One cached structure. The pawn sets verify the hit; the rest is what a fresh
// pass over the pawns would have produced.
struct alignas(64) PawnCacheEntry {
    SquareSet pawns[2];
    SquareSet frontAttackSpan[2];
    uint32_t passedFiles[2];
    uint32_t weakFiles[2];
    int32_t structureScore;
    int32_t endgameScore;
};
static_assert(sizeof(PawnCacheEntry) == 64);

constexpr int PawnCacheEntries = 32768;
constexpr uint32_t PawnCacheIndexMask = PawnCacheEntries - 1;

struct PawnEvaluatorState {
    // Squares in front of each scored pawn on the two neighbouring files: where
    // that side's pawns may one day attack. Below each pawn for Black.
    SquareSet frontAttackSpan[2];

    // Fixed masks, by square unless noted. "Up" is towards rank 8.
    SquareSet fileMask[8];
    SquareSet passedMaskWhite[64];    // front span of the square and of its neighbours
    SquareSet passedMaskBlack[64];
    SquareSet supportMaskWhite[64];   // neighbouring files, on its rank and below
    SquareSet supportMaskBlack[64];   // neighbouring files, on its rank and above
    SquareSet adjacentFilesMask[64];
    SquareSet connectedMask[64];      // beside it and diagonally next to it
    SquareSet sameFileMask[64];
    SquareSet whitePawnAttackers[64];  // where a white pawn attacks the square from
    SquareSet whitePawnAttackerLeft[64];   // s - 9, from the a-file side
    SquareSet whitePawnAttackerRight[64];  // s - 7, from the h-file side
    SquareSet blackPawnAttackers[64];
    SquareSet blackPawnAttackerLeft[64];   // s + 7
    SquareSet blackPawnAttackerRight[64];  // s + 9

    // The cache, in a block the system can back with large pages: it is read at
    // random, one entry per evaluation. ownsCache is false when that block could
    // not be had and a fixed one stands in (ready() tells).
    PawnCacheEntry* cache;
    bool ownsCache;

    // By-products of the last probe or pass: bit f for a pawn on file f.
    uint32_t passedFiles[2];
    uint32_t weakFiles[2];  // isolated or backward
    int32_t structureScore;  // White's terms minus Black's
    int32_t endgameScore;

    PawnEvaluatorState();
    ~PawnEvaluatorState();
    PawnEvaluatorState(const PawnEvaluatorState&) = delete;
    PawnEvaluatorState& operator=(const PawnEvaluatorState&) = delete;
    // Has this evaluator a cache of its own? A search thread needs one.
    bool ready() const { return ownsCache; }

    // The cached score for pos's pawn structure from side's view, or NoScore
    // (32000) when it is not cached; a miss clears the sums and by-products.
    // Refreshes pos.allPawns first.
    int probePawnCache(board::Position& pos, int phase, int side);
    // Starts loading the cache entry of a pawn structure, ahead of the probe.
    void prefetch(uint32_t pawnKey) const { __builtin_prefetch(&cache[pawnKey & PawnCacheIndexMask]); }
    // Add one pawn of colour Us to the running sums (in any order); White's terms
    // count up, Black's down.
    template <int Us>
    void scorePawn(const board::Position& pos, int square);
    // The blended score for the side to move; with store set the sums are cached first.
    int finishPawnScore(const board::Position& pos, int phase, int side, bool store);
    // Empties the whole cache and the by-products.
    void resetPawnEvaluator();
    void buildMasks();
};
extern PawnEvaluatorState PawnEvaluator;  // defined in driver/globals.cpp

// The pawn evaluator of the search that runs on this thread: the engine's own, or a
// search thread's (every evaluation writes its cache and by-products).
inline constinit thread_local PawnEvaluatorState* ThreadPawnEvaluator = &PawnEvaluator;
inline PawnEvaluatorState& pawnEvaluator() { return *ThreadPawnEvaluator; }

}  // namespace eval
