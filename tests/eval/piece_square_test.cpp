// Root preparation: the positions whose lists it cannot fill are refused.
#include <gtest/gtest.h>

#include "board/board.h"
#include "board/position_record.h"
#include "eval/piece_square.h"

using namespace board;

namespace {

TEST(RootPreparation, RefusesPositionsTheListsCannotHold) {
    // No black king, or more men than a list has slots: nothing is written out of
    // bounds and the caller is told not to search.
    for (const char* fen : {"8/8/8/8/8/8/8/4K3 w - -", "4k3/8/NNNNNNNN/PPPPPPPP/PPPPPPPP/8/8/4K3 w - -"}) {
        Board.loadRecord(*parseFen(fen));
        EXPECT_FALSE(eval::prepareRoot(board::Board, White)) << fen;
        EXPECT_LE(Board.menCount[White], 15);
    }
}

}  // namespace
