#include "board/board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/position_record.h"

using namespace board;

namespace {

int sq(const char* text) { return parseSquare(text); }

std::string name(int square) { return {char('a' + fileOf(square)), char('1' + rankOf(square))}; }

// The squares of a walk that follows one table from the from-square back to it.
std::string chain(const uint8_t (&table)[64][64], int from) {
    std::string out;
    for (int t = table[from][from]; t != from; t = table[from][t]) {
        out += name(t) + " ";
        if (out.size() > 300) return out + "(no end)";
    }
    return out;
}

}  // namespace

TEST(RayTables, KnightAndRookWalksFollowTheDirectionTable) {
    // Off-board knight jumps are skipped; the rest keep the offset order.
    EXPECT_EQ(chain(nextDirection[Knight], sq("a1")), "c2 b3 ");
    EXPECT_EQ(chain(nextSquare[Rook], sq("d4")),
              "e4 f4 g4 h4 d5 d6 d7 d8 c4 b4 a4 d3 d2 d1 ");
    EXPECT_EQ(nextDirection[Rook][sq("d4")][sq("f4")], sq("d5"));
    EXPECT_EQ(nextDirection[Rook][sq("d4")][sq("d4")], sq("e4"));
    // From a corner only two rook rays exist; the chain still ends at the corner.
    EXPECT_EQ(chain(nextSquare[Rook], sq("h8")), "g8 f8 e8 d8 c8 b8 a8 h7 h6 h5 h4 h3 h2 h1 ");
    // A king's ring from the edge: the evaluation walks exactly these squares.
    EXPECT_EQ(chain(nextDirection[King], sq("e1")), "f1 e2 d1 d2 f2 ");
    // Queen rays: rook directions first, then the diagonals.
    EXPECT_EQ(chain(nextDirection[Queen], sq("a1")), "b1 a2 b2 ");
}

TEST(RayTables, PawnPushesAndCapturesByColour) {
    const int whitePawn = movementIndex[Pawn], blackPawn = movementIndex[Pawn + 8];
    EXPECT_EQ(chain(nextSquare[whitePawn], sq("e2")), "e3 e4 ");
    EXPECT_EQ(chain(nextSquare[whitePawn], sq("e3")), "e4 ");
    EXPECT_EQ(chain(nextDirection[whitePawn], sq("e2")), "d3 f3 ");
    EXPECT_EQ(chain(nextDirection[whitePawn], sq("a2")), "b3 ");
    EXPECT_EQ(chain(nextDirection[whitePawn], sq("h2")), "g3 ");
    EXPECT_EQ(chain(nextSquare[blackPawn], sq("e7")), "e6 e5 ");
    EXPECT_EQ(chain(nextSquare[blackPawn], sq("e6")), "e5 ");
    // Black captures come f-side first.
    EXPECT_EQ(chain(nextDirection[blackPawn], sq("e7")), "f6 d6 ");
    EXPECT_EQ(chain(nextDirection[blackPawn], sq("h7")), "g6 ");
    // Every entry of every table names a square, so walks never need a bounds test.
    for (int m = 0; m < 8; ++m)
        for (int s = 0; s < 64; ++s)
            for (int t = 0; t < 64; ++t) ASSERT_LT(nextSquare[m][s][t] | nextDirection[m][s][t], 64);
}

TEST(BoardTables, DistancesColoursAndKnightPairs) {
    EXPECT_EQ(distance[sq("a1")][sq("h8")], 7);
    EXPECT_EQ(distance[sq("e4")][sq("f6")], 2);
    EXPECT_EQ(squareColour[sq("a1")], 1);
    EXPECT_EQ(squareColour[sq("h1")], 0);
    EXPECT_EQ(knightPair[sq("b1")][sq("c3")], 1);
    EXPECT_EQ(knightPair[sq("b1")][sq("d2")], 1);
    EXPECT_EQ(knightPair[sq("a1")][sq("c3")], 0);
    // knightPair agrees with the knight's own ray table everywhere.
    for (int s = 0; s < 64; ++s) {
        int pairs = 0;
        for (int t = 0; t < 64; ++t) pairs += knightPair[s][t];
        int jumps = 0;
        for (int t = nextDirection[Knight][s][s]; t != s; t = nextDirection[Knight][s][t]) {
            EXPECT_EQ(knightPair[s][t], 1);
            ++jumps;
        }
        EXPECT_EQ(pairs, jumps) << s;
    }
}

TEST(BoardLoad, RecordLettersBecomePiecesAndStateWords) {
    PositionRecord* r = parseFen("r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6");
    ASSERT_NE(r, nullptr);
    r->halfmoveClock = 7;
    r->blackCastled = 1;
    // Letters that are not men (edit mode stores such) read as empty squares.
    r->squares[sq("c3")] = 'x';
    r->squares[sq("c4")] = 0;
    Board.loadRecord(*r);
    EXPECT_EQ(squares[sq("e1")].piece, King);
    EXPECT_EQ(squares[sq("e1")].colour, White);
    EXPECT_EQ(squares[sq("d5")].piece, Pawn);
    EXPECT_EQ(squares[sq("d5")].colour, Black);
    EXPECT_TRUE(isEmpty(sq("c3")));
    EXPECT_TRUE(isEmpty(sq("c4")));
    EXPECT_EQ(squares[sq("c3")].piece, Empty);
    EXPECT_EQ(castleRights, 1 | 8);
    EXPECT_EQ(epSquare, sq("d6"));
    EXPECT_EQ(halfmoveClock, 7);
    EXPECT_EQ(castled[White], 0);
    EXPECT_EQ(castled[Black], 1);
    EXPECT_EQ(Board.sideToMove, 0);
}
