#include "board/zobrist.h"

#include <gtest/gtest.h>

#include "board/board.h"
#include "board/position_record.h"

using namespace board;

namespace {

HashKey keyOf(const char* fen) {
    PositionRecord* r = parseFen(fen);
    EXPECT_NE(r, nullptr) << fen;
    Board.loadRecord(*r);
    return Board.hashKey();
}

}  // namespace

// Opening books and learning files store these keys: the tables must come out bit
// for bit the same, for the side to move, en passant and every set of rights.
TEST(ZobristKeys, KnownKeys) {
    EXPECT_EQ(keyOf(StartFen), (HashKey{0x58123e4a, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), (HashKey{0x58123e4b, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"), (HashKey{0x48837121, 0xea24677a}));
    EXPECT_EQ(keyOf("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"),
              (HashKey{0x676e4faa, 0xcfdba96f}));
    EXPECT_EQ(keyOf("r3k2r/8/8/8/8/8/8/R3K2R w Kq -"), (HashKey{0xd593ebae, 0x0d283874}));
    keyOf(StartFen);
    uint32_t pawnKey = 0;
    for (int s = 0; s < 64; ++s)
        if (Board.squares[s].piece == Pawn && Board.squares[s].colour != NoColour)
            pawnKey ^= pawnKeys[Board.squares[s].colour][s];
    EXPECT_EQ(pawnKey, 0x8e50445au);
}
