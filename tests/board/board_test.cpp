#include "board/board.h"

#include <gtest/gtest.h>

#include "board/position_record.h"

using namespace board;

TEST(BoardLoad, RecordLettersBecomePiecesAndStateWords) {
    PositionRecord* r = parseFen("r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6");
    ASSERT_NE(r, nullptr);
    r->halfmoveClock = 7;
    r->blackCastled = 1;
    // Letters that are not men (edit mode stores such) read as empty squares.
    r->squares[parseSquare("c3")] = 'x';
    r->squares[parseSquare("c4")] = 0;
    Board.loadRecord(*r);
    EXPECT_EQ(Board.squares[parseSquare("d5")].piece, Pawn);
    EXPECT_EQ(Board.squares[parseSquare("d5")].colour, Black);
    EXPECT_TRUE(Board.isEmpty(parseSquare("c3")));
    EXPECT_TRUE(Board.isEmpty(parseSquare("c4")));
    EXPECT_EQ(Board.castleRights, 1 | 8);
    EXPECT_EQ(Board.epSquare, parseSquare("d6"));
    EXPECT_EQ(Board.halfmoveClock, 7);
    EXPECT_EQ(Board.castled[White], 0);
    EXPECT_EQ(Board.castled[Black], 1);
}
