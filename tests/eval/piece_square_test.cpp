// Root preparation and the piece-square tables built for each root.
#include <gtest/gtest.h>

#include "board/board.h"
#include "board/position_record.h"
#include "eval/piece_square.h"
#include "support/board_state.h"

using namespace board;
using eval::pieceSquare;
using testing_support::setUpPosition;

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

TEST(RootPreparation, StartPositionListsAndTables) {
    setUpPosition(StartFen);
    EXPECT_EQ(menCount[White], 15);
    EXPECT_EQ(menCount[Black], 15);
    EXPECT_EQ(nonPawnMaterial, 6880);
    const int expected[16] = {4, 0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int slot = 0; slot < 16; ++slot) EXPECT_EQ(pieceList[White][slot], expected[slot]);
    // Phase 0: the king at g1 is worth its base value and queens gain nothing.
    EXPECT_EQ(pieceSquare[White][King][sq("g1")], 1200);
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(pieceSquare[White][Queen][s], 1040);
        EXPECT_EQ(pieceSquare[Black][Queen][s], 1040);
    }
    EXPECT_EQ(materialSum[White], materialSum[Black]);
}

TEST(RootPreparation, PawnEntriesIsolationStormAndFreeRunners) {
    // A lone pawn on e4 would be isolated: 100 + 20 - 6.
    setUpPosition("4k3/8/8/8/4P3/8/8/4K3 w - -");
    EXPECT_EQ(pieceSquare[White][Pawn][sq("e4")], 114);

    // Kings on g1 and b8 at phase 5 (C = 5): White's queen-side pawns storm.
    setUpPosition("1k1q1r2/8/8/8/8/8/8/2NQ1RK1 w - -");
    ASSERT_EQ(eval::gamePhaseOf(nonPawnMaterial), 5);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("a2")], 100 + 4 - 6 - 23);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("a5")], 100 + 8 - 6 - 14);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("g2")], 100 + 4 - 6);  // own king's wing

    // A free pawn on e5 at phase 10 pulls the squares ahead of it up.
    setUpPosition("4k3/8/8/4P3/8/8/8/4K3 w - -");
    EXPECT_EQ(eval::pawnRunState(sq("e5")), 2);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("e6")], 100 + 32 - 6 + 4);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("e7")], 100 + 32 - 6 + 8);
    EXPECT_EQ(pieceSquare[White][Pawn][sq("e8")], 100 + 0 - 6 + 12);

    // Run states: a square ahead covered by an enemy pawn (d7's path by e5, e5's
    // by d7), a pawn ahead, a free black runner, no pawn at all.
    setUpPosition("4k3/3p4/8/4P3/8/2p5/2P3p1/4K3 w - -");
    EXPECT_EQ(eval::pawnRunState(sq("e5")), 1);
    EXPECT_EQ(eval::pawnRunState(sq("d7")), 1);
    EXPECT_EQ(eval::pawnRunState(sq("c2")), 0);
    EXPECT_EQ(eval::pawnRunState(sq("c3")), 0);
    EXPECT_EQ(eval::pawnRunState(sq("g2")), 2);
    EXPECT_EQ(eval::pawnRunState(sq("e4")), 0);
}

TEST(RootPreparation, PhaseScales) {
    EXPECT_EQ(eval::gamePhaseOf(6880), 0);
    EXPECT_EQ(eval::gamePhaseOf(6200), 0);
    EXPECT_EQ(eval::gamePhaseOf(5716), 1);
    EXPECT_EQ(eval::gamePhaseOf(1359), 10);
    EXPECT_EQ(eval::phaseScaleFast(3440), 0);
    EXPECT_EQ(eval::phaseScaleFast(3232), 1);
}

TEST(RootPreparation, RefusesPositionsTheListsCannotHold) {
    // No black king, or more men than a list has slots: nothing is written out of
    // bounds and the caller is told not to search.
    PositionRecord* record = parseFen("8/8/8/8/8/8/8/4K3 w - -");
    ASSERT_NE(record, nullptr);
    Board.loadRecord(*record);
    EXPECT_FALSE(eval::prepareRoot(White));
    record = parseFen("4k3/8/NNNNNNNN/PPPPPPPP/PPPPPPPP/8/8/4K3 w - -");
    ASSERT_NE(record, nullptr);
    Board.loadRecord(*record);
    EXPECT_FALSE(eval::prepareRoot(White));
    EXPECT_EQ(menCount[White], 15);
}

}  // namespace
