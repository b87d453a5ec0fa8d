// Attack maps: per square, a bit group per kind of attacker and the count of
// attackers in the low byte. The bench pins their use; these cases pin the rules.
#include "board/attacks.h"

#include <gtest/gtest.h>

#include "board/position_record.h"
#include "support/board_state.h"

using namespace board;
using testing_support::setUpPosition;

namespace {
int sq(const char* text) { return parseSquare(text); }
}  // namespace

TEST(AttackMaps, KindsCountsXRaysChecksAndPawns) {
    setUpPosition(StartFen);
    EXPECT_EQ(attackMap[White][sq("f3")], 0x21000003);  // pawns e2, g2 and knight g1
    EXPECT_EQ(attackMap[Black][sq("f6")], 0x21000003);
    EXPECT_EQ(attackMap[White][sq("e4")], 0);

    // Queen in front of a rook on the a-file: the king sees one queen, count 1;
    // below it the rook x-rays through the queen, for the count only.
    setUpPosition("k7/8/8/8/8/8/Q7/R3K3 w - -");
    EXPECT_EQ(attackMap[White][sq("a8")], 0x1001);
    EXPECT_EQ(attackMap[White][sq("a5")], 0x1002);
    EXPECT_TRUE(inCheck(Black));
    EXPECT_FALSE(inDoubleCheck(Black));
    // A bishop x-rays through its own queen, a queen does not x-ray through a bishop.
    setUpPosition("4k3/8/8/8/8/8/3Q4/2B1K3 w - -");
    EXPECT_EQ(attackMap[White][sq("h6")] & 0xFF, 2);
    setUpPosition("4k3/8/8/8/8/8/3B4/2Q1K3 w - -");
    EXPECT_EQ(attackMap[White][sq("f4")], 0x100001);
    // The x-ray stops after the first man beyond the front piece.
    setUpPosition("4k3/8/p7/8/R7/8/8/R3K3 w - -");
    EXPECT_EQ(attackMap[White][sq("a6")] & 0xFF, 2);
    EXPECT_EQ(attackMap[White][sq("a7")] & 0xFF, 0);

    // A checking rook's line goes on through the king; a knight and a rook give
    // double check.
    setUpPosition("8/8/4k3/8/4R3/8/8/K7 b - -");
    EXPECT_NE(attackMap[White][sq("e8")], 0);
    setUpPosition("4k3/8/5N2/8/8/8/8/K3R3 b - -");
    EXPECT_TRUE(inDoubleCheck(Black));
    // Pawns attack diagonally forwards, never ahead, without wrapping round the edge.
    setUpPosition("4k3/4p3/8/8/8/8/P6P/4K3 w - -");
    EXPECT_EQ(attackMap[White][sq("b3")], 0x10000001);
    EXPECT_EQ(attackMap[White][sq("g3")], 0x10000001);
    EXPECT_EQ(attackMap[White][sq("a3")], 0);
    EXPECT_EQ(attackMap[Black][sq("d6")], 0x10000001);
    EXPECT_EQ(attackMap[Black][sq("e6")], 0);
}
