#include "support/board_state.h"

#include <gtest/gtest.h>

#include <sstream>

#include "board/board.h"
#include "board/position_record.h"
#include "eval/piece_square.h"

namespace testing_support {

using board::Board;

int setUpPosition(const std::string& fen) {
    board::PositionRecord* record = board::parseFen(fen.c_str());
    EXPECT_NE(record, nullptr) << fen;
    if (!record) return -1;
    Board.loadRecord(*record);
    EXPECT_TRUE(eval::prepareRoot(Board, Board.sideToMove)) << fen;
    return Board.sideToMove;
}

std::string differences(const board::Position& a, const board::Position& b) {
    std::ostringstream out;
    for (int sq = 0; sq < 64; ++sq)
        if (a.squares[sq].piece != b.squares[sq].piece || a.squares[sq].colour != b.squares[sq].colour)
            out << " square " << sq;
    if (a.castleRights != b.castleRights) out << " castleRights";
    if (a.epSquare != b.epSquare) out << " epSquare";
    if (a.halfmoveClock != b.halfmoveClock) out << " halfmoveClock";
    for (int c = 0; c < 2; ++c)
        if (a.castled[c] != b.castled[c]) out << " castled[" << c << "]";
    if (!(a.key == b.key)) out << " key";
    if (a.mapLevel != b.mapLevel) out << " mapLevel";
    return out.str();
}

}  // namespace testing_support
