#include "search/transposition.h"

#include <gtest/gtest.h>

#include <climits>

#include "driver/main_loop.h"

using board::HashKey;
using board::Move;
using search::TransTableState;

namespace {

// allocate(1) gives 32 buckets, so keys whose low halves differ by 32 share one.
constexpr HashKey KeyA{5, 100}, KeyB{37, 200}, KeyC{69, 300}, KeyD{101, 400};

bool found(const TransTableState& tt, HashKey key, Move* move) {
    int score = 0;
    *move = 0;
    tt.probe(key, 0, 0, -100, &score, move);
    return *move != 0;
}

}  // namespace

TEST(TransTable, MateScoresTravelWithTheNode) {
    TransTableState tt;
    ASSERT_EQ(tt.allocate(1), 1);
    int score = 0;
    Move move = 0;

    // Mate in 1 from ply 5 is stored as 29995 from that node.
    tt.store(KeyA, 29990, 5, 8, 29990, 0x123);
    ASSERT_EQ(tt.probe(KeyA, 0, 0, 0, &score, &move), 1);
    EXPECT_EQ(score, 29995);
    // Met at ply 3 the same mate is two plies nearer the root; an exact mate holds
    // even against a far deeper request.
    ASSERT_EQ(tt.probe(KeyA, 0, 3, 60, &score, &move), 1);
    EXPECT_EQ(score, 29992);
    EXPECT_EQ(move, 0x123u);

    tt.store(KeyB, -29990, 5, 8, -29990, 0);
    ASSERT_EQ(tt.probe(KeyB, 0, 3, 6, &score, &move), 1);
    EXPECT_EQ(score, -29992);

    // An ordinary lower bound of 50 settles only bounds below it, and only for
    // requests no deeper than the stored depth; the move comes out regardless.
    tt.store(KeyC, 49, 2, 6, 50, 0x456);
    EXPECT_EQ(tt.probe(KeyC, 40, 2, 6, &score, &move), 1);
    EXPECT_EQ(score, 50);
    EXPECT_EQ(tt.probe(KeyC, 50, 2, 6, &score, &move), 0);
    EXPECT_EQ(tt.probe(KeyC, 60, 2, 6, &score, &move), 0);
    move = 0;
    EXPECT_EQ(tt.probe(KeyC, 40, 2, 7, &score, &move), 0);
    EXPECT_EQ(move, 0x456u);
}

TEST(TransTable, DeeperEntryStaysAndTheDisplacedOneMovesToEntryTwo) {
    TransTableState tt;
    tt.allocate(1);
    Move move = 0;

    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    tt.store(KeyB, 0, 0, 3, 10, 0xB);  // shallower: entry 2
    EXPECT_TRUE(found(tt, KeyA, &move));
    EXPECT_TRUE(found(tt, KeyB, &move));
    tt.store(KeyC, 0, 0, 2, 10, 0xC);  // entry 2 again: B is gone, A stays
    EXPECT_TRUE(found(tt, KeyA, &move));
    EXPECT_FALSE(found(tt, KeyB, &move));
    EXPECT_TRUE(found(tt, KeyC, &move));

    tt.store(KeyD, 0, 0, 5, 10, 0xD);  // as deep as A: A moves to entry 2
    EXPECT_TRUE(found(tt, KeyD, &move));
    EXPECT_TRUE(found(tt, KeyA, &move));
    EXPECT_FALSE(found(tt, KeyC, &move));

    // In the next search even a shallow result takes entry 1.
    tt.nextGeneration();
    tt.store(KeyB, 0, 0, 1, 10, 0xB);
    EXPECT_TRUE(found(tt, KeyB, &move));
    EXPECT_TRUE(found(tt, KeyD, &move));
    EXPECT_FALSE(found(tt, KeyA, &move));

    // Storing the same key again updates it in place without losing the neighbour.
    tt.store(KeyB, 0, 0, 9, 10, 0xE);
    EXPECT_TRUE(found(tt, KeyB, &move));
    EXPECT_EQ(move, 0xEu);
    EXPECT_TRUE(found(tt, KeyD, &move));
}

TEST(TransTable, GenerationsRunFromOneTo255AndWrap) {
    TransTableState tt;
    EXPECT_EQ(tt.generation, 0);
    tt.allocate(1);
    EXPECT_EQ(tt.generation, 1);
    for (int i = 0; i < 254; ++i) tt.nextGeneration();
    EXPECT_EQ(tt.generation, 255);
    tt.nextGeneration();
    EXPECT_EQ(tt.generation, 1);
    tt.nextGeneration();
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    EXPECT_EQ(tt.clear(), 1);
    EXPECT_EQ(tt.generation, 1);
    Move move = 0;
    EXPECT_FALSE(found(tt, KeyA, &move));
}

TEST(TransTable, SizesArePowersOfTwoAndNeverOverflow) {
    TransTableState tt;
    EXPECT_EQ(tt.allocate(48 * 1024), 48 * 1024);
    EXPECT_EQ(tt.mask + 1, 1048576u);
    EXPECT_EQ(tt.allocate(32 * 1024), 32 * 1024);
    EXPECT_EQ(tt.mask + 1, 1048576u);
    EXPECT_EQ(tt.allocate(0), 0);  // 0 changes nothing and the table stays
    EXPECT_EQ(tt.mask + 1, 1048576u);

    // 4096 MB and more would overflow the 32-bit size arithmetic: such requests,
    // and any SIZE_HT whose kilobytes leave the int range, get the 2 GB table.
    EXPECT_EQ(search::bucketCountFor(4096 * 1024), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(INT_MAX), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(driver::tableKilobytes(5000000)), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(4095 * 1024), 1u << 26);
    EXPECT_EQ(search::bucketCountFor(1), 32u);
    EXPECT_EQ(search::bucketCountFor(0), 1u);

    // A negative size leaves no table, and without one nothing is stored or found.
    EXPECT_EQ(search::bucketCountFor(-1), 0u);
    EXPECT_EQ(tt.allocate(driver::tableKilobytes(-3)), -1);
    EXPECT_EQ(tt.table, nullptr);
    EXPECT_EQ(tt.clear(), 0);
    tt.store(KeyA, 0, 0, 5, 10, 0xA);
    int score = 0;
    Move move = 0;
    EXPECT_EQ(tt.probe(KeyA, 0, 0, 0, &score, &move), 0);
    EXPECT_EQ(tt.storeLearned(10, KeyA, 5, true), 0);
}

TEST(TransTable, LearnedEntriesYieldOnlyToDeeperLearning) {
    TransTableState tt;
    tt.allocate(1);
    int score = 0;
    Move move = 0;
    EXPECT_EQ(tt.storeLearned(120, KeyA, 10, true), 1);
    EXPECT_EQ(tt.storeLearned(50, KeyA, 8, true), 0);
    ASSERT_EQ(tt.probe(KeyA, 0, 0, 10, &score, &move), 1);
    EXPECT_EQ(score, 120);
    EXPECT_EQ(tt.storeLearned(60, KeyA, 10, false), 1);
    EXPECT_EQ(tt.probe(KeyA, 70, 0, 10, &score, &move), 0);  // a lower bound now
    EXPECT_EQ(tt.probe(KeyA, 50, 0, 10, &score, &move), 1);

    // Learned entries carry generation 0, so any search store takes entry 1 and
    // the learned result survives in entry 2.
    tt.store(KeyB, 0, 0, 0, 10, 0xB);
    EXPECT_EQ(tt.probe(KeyA, 50, 0, 10, &score, &move), 1);
    EXPECT_TRUE(found(tt, KeyB, &move));
}
