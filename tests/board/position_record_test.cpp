#include "board/position_record.h"

#include <gtest/gtest.h>

#include <string>

using namespace board;

namespace {

int rights(const PositionRecord* r) {
    return (r->whiteKingside ? 1 : 0) | (r->whiteQueenside ? 2 : 0) | (r->blackKingside ? 4 : 0) |
           (r->blackQueenside ? 8 : 0);
}

}  // namespace

TEST(Fen, FieldsParseAndFormatBack) {
    PositionRecord* r = parseFen(StartFen);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(formatFen(*r), StartFen);
    EXPECT_EQ(r->squares[4], 'K');
    EXPECT_EQ(r->squares[59], 'q');
    EXPECT_EQ(rights(r), 15);

    // Trailing counters are ignored; only ranks 3 to 6 can hold an en passant target.
    r = parseFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->epSquare, 20);
    EXPECT_EQ(r->sideToMove, 1);
    EXPECT_EQ(parseFen("4k3/8/8/8/8/8/8/4K3 w - e2")->epSquare, 0);
    EXPECT_STREQ(formatFen(*parseFen("4k3/8/8/8/8/8/8/4K3 w - e6")), "4k3/8/8/8/8/8/8/4K3 w - e6");
    // Fewer ranks leave the rest empty; the text may end right after the side.
    r = parseFen("4k3/8 w");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->squares[60], 'k');
    EXPECT_STREQ(formatFen(*r), "4k3/8/8/8/8/8/8/8 w - -");
}

TEST(Fen, CastlingRightsAreInferredAndValidatedAgainstThePlacement) {
    // Stated rights survive only with king and rook at home.
    EXPECT_EQ(rights(parseFen("r3k3/8/8/8/8/8/8/4K2R w KQkq -")), 1 | 8);
    // Without a castling field, or with a broken one, the placement decides.
    EXPECT_EQ(rights(parseFen("r3k2r/8/8/8/8/8/8/R3K1R1 b")), 2 | 4 | 8);
    EXPECT_EQ(rights(parseFen("r3k2r/8/8/8/8/8/8/R3K2R w X -")), 15);
    EXPECT_EQ(rights(parseFen("r3k2r/8/8/8/8/8/8/R3K2R w Kq")), 15);  // the field at the very end
    EXPECT_EQ(rights(parseFen("r3k2r/8/8/8/8/8/8/R3K2R w - -")), 0);
    EXPECT_EQ(rights(parseFen("r3k2r/8/8/8/8/8/8/R3K2R w Kq -")), 1 | 8);
}

TEST(Fen, MalformedTextIsRefused) {
    for (const char* bad : {"ppppppppp/8/8/8/8/8/8/8 w", "8/8/8/8/8/8/8/8/8 w", "7/8/8/8/8/8/8/8 w",
                            "8/8/8/8/8/8/8/9 w", "8/8/8/8/8/8/8/8  w", "8/8/8/8/8/8/8/8 x", "8/8/8/8/8/8/8/8",
                            "8/8/8/8/8/8/8/8R w", "rnbqkbnr/pppxpppp/8/8/8/8/PPPPPPPP/RNBQKBNR w", ""})
        EXPECT_EQ(parseFen(bad), nullptr) << bad;
    EXPECT_EQ(parseFen(nullptr), nullptr);

    // Text far longer than a board, in one rank or over thousands.
    EXPECT_EQ(parseFen(std::string(100000, '8').c_str()), nullptr);
    std::string longRank(5001, '/');
    longRank[0] = 'p';
    EXPECT_EQ(parseFen(longRank.c_str()), nullptr);
}

TEST(MoveText, CoordinatesAndPromotionsBothWays) {
    EXPECT_STREQ(moveToText(makeMoveWord(52, 60, 2)), "e7e8N");
    // Fields that name no promotion piece print nothing; flags are ignored.
    EXPECT_STREQ(moveToText(makeMoveWord(52, 60, 6, MoveCapture | MoveCheck)), "e7e8");
    EXPECT_EQ(parseMoveText("e7e8q"), makeMoveWord(52, 60, 5));
    EXPECT_EQ(parseMoveText("e7e8x"), makeMoveWord(52, 60));
    EXPECT_EQ(parseMoveText("h8a1 and more"), makeMoveWord(63, 0));
    for (const char* bad : {"i2e4", "e2e9", "e0e4", "e2e", "", "E2E4"})
        EXPECT_EQ(parseMoveText(bad), NoMove) << bad;
    EXPECT_EQ(parseSquare("e4x"), 28);
    for (const char* bad : {"a", "a9", "i1", "A1"}) EXPECT_EQ(parseSquare(bad), -1) << bad;
}
