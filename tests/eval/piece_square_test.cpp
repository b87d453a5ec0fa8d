// Root preparation: the lists the rest of the engine walks, and the positions it
// refuses.
#include <gtest/gtest.h>

#include "board/board.h"
#include "board/position_record.h"
#include "eval/piece_square.h"
#include "support/board_state.h"

using namespace board;

namespace {

TEST(RootPreparation, ListsCountsAndMaterialOfTheStartPosition) {
    testing_support::setUpPosition(StartFen);
    EXPECT_EQ(menCount[White], 15);
    EXPECT_EQ(menCount[Black], 15);
    EXPECT_EQ(nonPawnMaterial, 6880);
    // The king first, then the men in square order.
    const int expected[16] = {4, 0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int slot = 0; slot < 16; ++slot) EXPECT_EQ(pieceList[White][slot], expected[slot]);
    EXPECT_EQ(materialSum[White], materialSum[Black]);
}

TEST(RootPreparation, RefusesPositionsTheListsCannotHold) {
    // No black king, or more men than a list has slots: nothing is written out of
    // bounds and the caller is told not to search.
    for (const char* fen : {"8/8/8/8/8/8/8/4K3 w - -", "4k3/8/NNNNNNNN/PPPPPPPP/PPPPPPPP/8/8/4K3 w - -"}) {
        Board.loadRecord(*parseFen(fen));
        EXPECT_FALSE(eval::prepareRoot(White)) << fen;
        EXPECT_LE(menCount[White], 15);
    }
}

}  // namespace
