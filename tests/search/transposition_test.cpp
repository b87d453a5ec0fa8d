#include "search/transposition.h"

#include <gtest/gtest.h>

#include <climits>

#include "driver/main_loop.h"

using board::HashKey;
using board::Move;
using search::TransTableState;

namespace {

// allocate(1) gives 32 buckets, so keys whose low halves differ by 32 share one.
constexpr HashKey KeyA{5, 100}, KeyB{37, 200}, KeyC{69, 300};

// The stored move of a key, 0 when the key is not in the table.
Move storedMove(const TransTableState& tt, HashKey key) {
    int score = 0;
    Move move = 0;
    tt.probe(key, 0, 0, -100, &score, &move);
    return move;
}

}  // namespace

TEST(TransTable, AKingCaptureIsNoMateAtADistance) {
    // A position whose side to move can take the king (the move into it was
    // illegal) scores 30000 wherever it is met. Were it kept like a mate, a probe
    // two plies deeper would read 29998: the parent would take the illegal move for
    // a legal one that gets mated, and score a stalemate as a mate.
    TransTableState tt;
    ASSERT_EQ(tt.allocate(1), 1);
    int score = 0;
    Move move = 0;
    tt.store(KeyA, 30000, 3, 3, 30000, 0);
    for (int ply : {0, 3, 5, 40}) {
        ASSERT_EQ(tt.probe(KeyA, 0, ply, ply + 20, &score, &move), 1) << ply;
        EXPECT_EQ(score, 30000) << ply;
    }
}

TEST(TransTable, MateScoresTravelWithTheNodeAndBoundsDecideUse) {
    TransTableState tt;
    ASSERT_EQ(tt.allocate(1), 1);
    int score = 0;
    Move move = 0;
    tt.store(KeyA, 29990, 5, 8, 29990, 0x123);  // mate found at ply 5
    ASSERT_EQ(tt.probe(KeyA, 0, 0, 0, &score, &move), 1);
    EXPECT_EQ(score, 29995);
    // Two plies nearer the root; a proven mate holds against any depth.
    ASSERT_EQ(tt.probe(KeyA, 0, 3, 60, &score, &move), 1);
    EXPECT_EQ(score, 29992);
    tt.store(KeyB, -29990, 5, 8, -29990, 0);
    ASSERT_EQ(tt.probe(KeyB, 0, 3, 6, &score, &move), 1);
    EXPECT_EQ(score, -29992);

    // A lower bound of 50 settles bound 40 only, and no deeper request; the move
    // comes out whenever the key matches.
    tt.store(KeyC, 49, 2, 6, 50, 0x456);
    EXPECT_EQ(tt.probe(KeyC, 40, 2, 6, &score, &move), 1);
    EXPECT_EQ(tt.probe(KeyC, 50, 2, 6, &score, &move), 0);
    EXPECT_EQ(tt.probe(KeyC, 60, 2, 6, &score, &move), 0);
    move = 0;
    EXPECT_EQ(tt.probe(KeyC, 40, 2, 7, &score, &move), 0);
    EXPECT_EQ(move, 0x456u);
}

// The bench pins the replacement within one search; a game spans many.
TEST(TransTable, InANewSearchEvenAShallowResultTakesEntryOne) {
    TransTableState tt;
    tt.allocate(1);
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    tt.nextGeneration();
    tt.store(KeyB, 0, 0, 1, 10, 0xB);  // entry 1; A moves to entry 2
    tt.store(KeyC, 0, 0, 0, 10, 0xC);  // shallower: entry 2, A goes
    EXPECT_EQ(storedMove(tt, KeyA), 0u);
    EXPECT_EQ(storedMove(tt, KeyB), 0xBu);
    EXPECT_EQ(storedMove(tt, KeyC), 0xCu);
    EXPECT_TRUE(tt.isConsistent());
}

// The check itself sees a wrong mask or generation and a misplaced or garbled
// entry (bytes as transposition.cpp lays them out: key 0-7, bound at 12).
TEST(TransTable, TheConsistencyCheckSeesABrokenTable) {
    TransTableState tt;
    EXPECT_TRUE(tt.isConsistent());  // no table at all
    tt.allocate(1);
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    ASSERT_TRUE(tt.isConsistent());
    uint8_t* entry = reinterpret_cast<uint8_t*>(tt.table) + (KeyA.low & tt.mask) * 32;
    const auto brokenBy = [&](uint8_t& byte, uint8_t value) {
        const uint8_t kept = byte;
        byte = value;
        const bool seen = !tt.isConsistent();
        byte = kept;
        return seen;
    };
    EXPECT_TRUE(brokenBy(entry[0], uint8_t(KeyA.low + 1)));  // filed in the wrong bucket
    EXPECT_TRUE(brokenBy(entry[12], 4));                     // no such bound
    EXPECT_TRUE(brokenBy(entry[-32], 1));                    // a key in an empty entry
    EXPECT_TRUE(brokenBy(tt.generation, 0));
    tt.mask = 30;
    EXPECT_FALSE(tt.isConsistent());
}

TEST(TransTable, GenerationsWrapAndSizesNeverOverflow) {
    TransTableState tt;
    EXPECT_EQ(tt.allocate(48 * 1024), 48 * 1024);
    EXPECT_EQ(tt.mask + 1, 1048576u);
    EXPECT_EQ(tt.allocate(0), 0);  // nothing changes
    EXPECT_EQ(tt.mask + 1, 1048576u);
    for (int i = 0; i < 254; ++i) tt.nextGeneration();
    EXPECT_EQ(tt.generation, 255);
    tt.nextGeneration();
    EXPECT_EQ(tt.generation, 1);
    tt.nextGeneration();
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    EXPECT_EQ(tt.clear(), 1);
    EXPECT_EQ(tt.generation, 1);
    EXPECT_EQ(storedMove(tt, KeyA), 0u);

    // 4096 MB and more would overflow the 32-bit size arithmetic: they get 2 GB.
    EXPECT_EQ(search::bucketCountFor(INT_MAX), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(driver::tableKilobytes(5000000)), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(0), 1u);
    // A negative size leaves no table, and nothing is stored or found.
    EXPECT_EQ(tt.allocate(driver::tableKilobytes(-3)), -1);
    EXPECT_EQ(tt.clear(), 0);
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    EXPECT_EQ(storedMove(tt, KeyA), 0u);
    EXPECT_EQ(tt.storeLearned(10, KeyA, 5, true), 0);
}

TEST(TransTable, LearnedEntriesYieldOnlyToDeeperLearning) {
    TransTableState tt;
    tt.allocate(1);
    int score = 0;
    Move move = 0;
    EXPECT_EQ(tt.storeLearned(120, KeyA, 10, true), 1);
    EXPECT_EQ(tt.storeLearned(50, KeyA, 8, true), 0);
    EXPECT_EQ(tt.storeLearned(60, KeyA, 10, false), 1);
    EXPECT_EQ(tt.probe(KeyA, 70, 0, 10, &score, &move), 0);  // a lower bound of 60
    // Generation 0: a search store takes entry 1 and the learned entry moves on.
    tt.store(KeyB, 0, 0, 0, 10, 0xB);
    EXPECT_EQ(tt.probe(KeyA, 50, 0, 10, &score, &move), 1);
    EXPECT_EQ(score, 60);
    EXPECT_EQ(storedMove(tt, KeyB), 0xBu);
    EXPECT_TRUE(tt.isConsistent());
}
