// Pawn structure: hand-worked structures, the black mirror image, and the cache.
#include <gtest/gtest.h>

#include <random>

#include "board/board.h"
#include "board/types.h"
#include "eval/pawns.h"
#include "support/board_state.h"

using eval::PawnEvaluator;
using eval::SquareSet;
using testing_support::setUpPosition;

namespace {

// Scores every pawn of the sets now in the evaluator, from clean sums.
void scoreAllPawns() {
    PawnEvaluator.structureScore = PawnEvaluator.endgameScore = 0;
    for (int c = 0; c < 2; ++c)
        PawnEvaluator.frontAttackSpan[c] = PawnEvaluator.passedFiles[c] = PawnEvaluator.weakFiles[c] = 0;
    for (int s = 0; s < 64; ++s) {
        if (board::pawnSet[0] & eval::squareBit(s)) PawnEvaluator.scoreWhitePawn(s);
        if (board::pawnSet[1] & eval::squareBit(s)) PawnEvaluator.scoreBlackPawn(s);
    }
}

TEST(PawnStructure, HandWorkedStructures) {
    // No pawns: the empty structure is "cached" from the start and worth nothing.
    setUpPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(PawnEvaluator.probePawnCache(0, 0), 0);
    EXPECT_EQ(PawnEvaluator.probePawnCache(10, 1), 0);

    // a2 and c2: isolated on half-open files and passed.
    setUpPosition("4k3/8/8/8/8/8/P1P5/4K3 w - -");
    EXPECT_EQ(PawnEvaluator.probePawnCache(10, 0), board::NoScore);
    scoreAllPawns();
    EXPECT_EQ(PawnEvaluator.structureScore, -40);
    EXPECT_EQ(PawnEvaluator.endgameScore, 8 + (-5 + 8));
    EXPECT_EQ(PawnEvaluator.weakFiles[0], 0b101u);
    EXPECT_EQ(PawnEvaluator.passedFiles[0], 0b101u);

    // e4 and e5: doubled and isolated; only the front pawn is passed.
    setUpPosition("4k3/8/8/4P3/4P3/8/8/4K3 w - -");
    scoreAllPawns();
    EXPECT_EQ(PawnEvaluator.structureScore, -50);
    EXPECT_EQ(PawnEvaluator.endgameScore, 20);
    EXPECT_EQ(PawnEvaluator.passedFiles[0], 1u << 4);

    // e3 is backward (e4 is covered by d5 only), d4 is rammed by d5 with no
    // supporter that can come up beside it, d5 is isolated and rammed as well.
    setUpPosition("4k3/8/8/3p4/3P4/4P3/8/4K3 w - -");
    scoreAllPawns();
    EXPECT_EQ(PawnEvaluator.structureScore, -20 - 12 + 22);
    EXPECT_EQ(PawnEvaluator.endgameScore, 10);
    EXPECT_EQ(PawnEvaluator.weakFiles[0], 1u << 4);
    EXPECT_EQ(PawnEvaluator.weakFiles[1], 1u << 3);

    // A pawn the enemy can take now adds only its front attack span.
    setUpPosition("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
    scoreAllPawns();
    const SquareSet span = PawnEvaluator.frontAttackSpan[0];
    EXPECT_EQ(span, board::frontSpanUp[27] | board::frontSpanUp[29]);
    EXPECT_EQ(PawnEvaluator.weakFiles[0] | PawnEvaluator.passedFiles[0], 0u);
}

TEST(PawnStructure, BlackIsTheMirrorImageOfWhite) {
    std::mt19937_64 random(99);
    for (int trial = 0; trial < 2000; ++trial) {
        const SquareSet inner = 0x00FFFFFFFFFFFF00ULL;
        SquareSet white = random() & random() & inner, black = random() & random() & inner & ~white;
        board::pawnSet[0] = white;
        board::pawnSet[1] = black;
        scoreAllPawns();
        const int structure = PawnEvaluator.structureScore, endgame = PawnEvaluator.endgameScore;
        const uint32_t passed = PawnEvaluator.passedFiles[0], weak = PawnEvaluator.weakFiles[0];
        const SquareSet span = PawnEvaluator.frontAttackSpan[0];

        // Turn the board over rank by rank and swap the colours.
        board::pawnSet[0] = __builtin_bswap64(black);
        board::pawnSet[1] = __builtin_bswap64(white);
        scoreAllPawns();
        ASSERT_EQ(PawnEvaluator.structureScore, -structure) << std::hex << white << " " << black;
        ASSERT_EQ(PawnEvaluator.endgameScore, -endgame);
        ASSERT_EQ(PawnEvaluator.passedFiles[1], passed);
        ASSERT_EQ(PawnEvaluator.weakFiles[1], weak);
        ASSERT_EQ(PawnEvaluator.frontAttackSpan[1], __builtin_bswap64(span));
    }
}

TEST(PawnStructure, CacheHitsAfterStoreAndPhaseBlendsTheEndgamePart) {
    setUpPosition("4k3/8/8/4P3/4P3/8/8/4K3 w - -");
    ASSERT_EQ(PawnEvaluator.probePawnCache(0, 0), board::NoScore);
    scoreAllPawns();
    // -50 + (0 + 6) * 20 / 16 in the opening; in full at phase 10; negated for Black.
    EXPECT_EQ(PawnEvaluator.finishPawnScore(0, 0, true), -50 + 7);
    EXPECT_EQ(PawnEvaluator.probePawnCache(10, 0), -50 + 20);
    EXPECT_EQ(PawnEvaluator.probePawnCache(0, 1), 50 - 7);
    EXPECT_EQ(PawnEvaluator.passedFiles[0], 1u << 4);  // by-products come back with a hit

    // A negative endgame sum truncates towards zero: -60 / 16 is -3.
    PawnEvaluator.structureScore = 0;
    PawnEvaluator.endgameScore = -10;
    EXPECT_EQ(PawnEvaluator.finishPawnScore(0, 0, false), -3);
    EXPECT_EQ(PawnEvaluator.finishPawnScore(10, 0, false), -10);

    // The root preparation empties the cache.
    setUpPosition("4k3/8/8/4P3/4P3/8/8/4K3 w - -");
    EXPECT_EQ(PawnEvaluator.probePawnCache(0, 0), board::NoScore);
}

}  // namespace
