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

// Bit 0 of the low half carries the side to move, so comparisons leave it out.
void expectSameBeyondTheSideBit(HashKey a, HashKey b) {
    EXPECT_EQ(a.low >> 1, b.low >> 1);
    EXPECT_EQ(a.high, b.high);
}

}  // namespace

// Opening books and learning files store these keys: the tables must come out bit
// for bit the same.
TEST(ZobristKeys, KnownKeysOfTheOpening) {
    EXPECT_EQ(keyOf(StartFen), (HashKey{0x58123e4a, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), (HashKey{0x58123e4b, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"), (HashKey{0x48837121, 0xea24677a}));
    keyOf(StartFen);
    uint32_t pawnKey = 0;
    for (int s = 0; s < 64; ++s)
        if (squares[s].piece == Pawn && squares[s].colour != NoColour) pawnKey ^= pawnKeys[squares[s].colour][s];
    EXPECT_EQ(pawnKey, 0x8e50445au);
}

TEST(ZobristKeys, EnPassantAndCastlingChangeTheKeyByTheirOwnTables) {
    HashKey diff = keyOf("4k3/8/8/8/8/8/8/4K3 w - -");
    diff ^= keyOf("4k3/8/8/8/8/8/8/4K3 w - e6");
    expectSameBeyondTheSideBit(diff, epKeys[44]);

    diff = keyOf("r3k2r/8/8/8/8/8/8/R3K2R w - -");
    diff ^= keyOf("r3k2r/8/8/8/8/8/8/R3K2R w Kq -");
    HashKey expected = castleKeys[0];
    expected ^= castleKeys[1 | 8];
    expectSameBeyondTheSideBit(diff, expected);
}
