// Transposition table: what the search already knows about positions it met.
//
// Buckets of two 16-byte entries, picked by the low key half and compared on the
// whole 64-bit key. Entry 1 keeps the deeper result of the current search; entry 2
// is always replaced and catches whatever entry 1 displaces. Every store is stamped
// with the search generation (1..255), so results of earlier searches give way first.
// Entries preloaded from the learning file carry generation 0.
//
// Mate scores are kept relative to the stored node (distance to mate from there), so
// they stay true at whatever distance from the root the position is met again.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/types.h"

namespace search {

// Bound types of an entry: the score is exact, an upper or a lower bound.
constexpr int BoundExact = 1;
constexpr int BoundUpper = 2;
constexpr int BoundLower = 3;

// Table sizes are counted in 32-bit bucket numbers; the kilobyte count is capped
// here, just under 4 GB, so that the size arithmetic never overflows. A capped
// request gets the largest table that arithmetic allows: 2^26 buckets (2 GB).
constexpr int MaxTableKilobytes = 4 * 1024 * 1024 - 1;

// Buckets for a request in kilobytes: the largest power of two not above
// kilobytes * 1024 / 32, at least 1; 0 for a negative request.
uint32_t bucketCountFor(int kilobytes);

struct TransTableState {
    // Replaces the table with one of the given size in kilobytes; 0 changes nothing,
    // a negative size leaves no table. Returns the kilobytes used, or -1 without table.
    int allocate(int kilobytes);
    int clear();            // 1, or 0 without a table; generation restarts at 1
    void nextGeneration();  // once per search: 1, 2, ... 255, 1, ...
    // Records a search result: score with respect to bound, found at ply with the
    // given depth limit; move 0 when there is none.
    void store(board::HashKey key, int bound, int ply, int depthLimit, int score, board::Move move);
    // 1 when the stored score settles the node for this bound and depth; the stored
    // move is written whenever the key is found, even when the score is not usable.
    int probe(board::HashKey key, int bound, int ply, int depthLimit, int* score, board::Move* move) const;
    // Starts loading the bucket of key into the cache, ahead of the probe that
    // will ask for it.
    void prefetch(board::HashKey key) const { prefetch(key.low); }
    void prefetch(uint32_t keyLow) const {
        if (table) __builtin_prefetch(reinterpret_cast<const char*>(table) + std::size_t(keyLow & mask) * 32);
    }
    // A position from the learning file; it only yields to a deeper learned entry.
    // 1 when stored, 0 without a table or when that deeper entry stays.
    int storeLearned(int score, board::HashKey key, int remainingDepth, bool exact);
    // Does the mask match a power-of-two table, is the generation in range, and is
    // every entry empty or in its key's bucket with a valid bound and move? Reads
    // the whole table: asserted in the sanitizer build once per search, called by
    // the tests.
    bool isConsistent() const;
    ~TransTableState();

    struct Bucket;  // layout and static_assert in transposition.cpp
    Bucket* table = nullptr;
    uint32_t mask = 0;
    uint8_t generation = 0;
};
extern TransTableState TransTable;  // defined in driver/globals.cpp

}  // namespace search
