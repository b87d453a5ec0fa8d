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

uint32_t pawnKeyOfBoard() {
    uint32_t key = 0;
    for (int s = 0; s < 64; ++s)
        if (squares[s].piece == Pawn && squares[s].colour != NoColour) key ^= pawnKeys[squares[s].colour][s];
    return key;
}

}  // namespace

// Opening books store these keys: the tables must come out bit for bit the same.
TEST(ZobristKeys, KnownKeysOfTheOpening) {
    EXPECT_EQ(keyOf(StartFen), (HashKey{0x58123e4a, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), (HashKey{0x58123e4b, 0x8ea61d4b}));
    EXPECT_EQ(keyOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"), (HashKey{0x48837121, 0xea24677a}));
    keyOf(StartFen);
    EXPECT_EQ(pawnKeyOfBoard(), 0x8e50445au);

    EXPECT_EQ(castleKeys[0], (HashKey{0xf8dfee3c, 0xbfe302b4}));
    EXPECT_EQ(castleKeys[15], (HashKey{0, 0}));
    // The generator's first two numbers are the first piece key entry.
    EXPECT_EQ(pieceKeys[0][0].low, 60494271u);
    EXPECT_EQ(pieceKeys[0][0].high, 1217451684u);
}

TEST(ZobristKeys, EveryStateWordChangesTheKeyByItsOwnTable) {
    HashKey base = keyOf("4k3/8/8/8/8/8/8/4K3 w - -");
    HashKey withEp = keyOf("4k3/8/8/8/8/8/8/4K3 w - e6");
    // Bit 0 of the low half carries the side to move, so it is left out of the sums.
    HashKey diff = base;
    diff ^= withEp;
    EXPECT_EQ(diff.low >> 1, epKeys[44].low >> 1);
    EXPECT_EQ(diff.high, epKeys[44].high);

    HashKey noRights = keyOf("r3k2r/8/8/8/8/8/8/R3K2R w - -");
    HashKey someRights = keyOf("r3k2r/8/8/8/8/8/8/R3K2R w Kq -");
    diff = noRights;
    diff ^= someRights;
    HashKey expected = castleKeys[0];
    expected ^= castleKeys[1 | 8];
    EXPECT_EQ(diff.low >> 1, expected.low >> 1);
    EXPECT_EQ(diff.high, expected.high);

    // Side to move is bit 0 of the low half and nothing else.
    HashKey black = keyOf("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(black.low, base.low | 1u);
    EXPECT_EQ(black.high, base.high);
}
