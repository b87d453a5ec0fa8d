// Make and unmake: every incremental update against the state the root
// preparation computes from scratch, and the rules that counts alone cannot see.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/zobrist.h"
#include "support/board_state.h"

using namespace board;
using testing_support::BoardSnapshot;
using testing_support::freshDerivedState;
using testing_support::setUpPosition;

namespace {

Move moveOf(const char* text, Move flags = 0) { return parseMoveText(text) | flags; }

// Random games from positions rich in castling, en passant and promotions; null
// moves mixed in. After every make and every unmake the incremental state must
// equal what a fresh root preparation finds on the same squares, and an unmake
// must give back exactly the board from before the make.
TEST(MakeUnmake, RandomGamesKeepEveryDerivedItemExact) {
    const char* starts[] = {
        StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
        "4k3/1p1p1p2/8/2P1P1P1/8/8/8/4K3 b - -",
    };
    std::mt19937 random(7);
    static ScoredMove list[256];
    int checks = 0;
    for (int game = 0; game < 1000; ++game) {
        int side = setUpPosition(starts[game % 5]);
        BoardSnapshot before[PlySlots];
        bool nullAt[PlySlots] = {};
        int ply = 0;
        for (; ply < 40; ++ply) {
            before[ply] = BoardSnapshot::take();
            computeAttackMap(side, attackMap[side]);
            computeAttackMap(1 - side, attackMap[1 - side]);
            nullAt[ply] = !inCheck(side) && random() % 8 == 0;
            if (nullAt[ply]) {
                makeNullMove(side, ply);
                ASSERT_EQ(plyState[ply].move, NoMove);
                ASSERT_EQ(epSquare, 0);
            } else {
                const int n = generateLegalMoves(list, side, ply);
                if (n == 0) break;
                makeMove(side, ply, list[random() % n].move);
            }
            side = 1 - side;
            ASSERT_EQ(positionKey, computeHashKey(side));
            const std::string changed = freshDerivedState(side).differences(BoardSnapshot::take());
            ASSERT_EQ(changed, "") << "after making " << moveToText(plyState[ply].move) << " in game " << game;
            ++checks;
        }
        while (ply-- > 0) {
            side = 1 - side;
            if (nullAt[ply])
                unmakeNullMove(ply);
            else
                unmakeMove(ply);
            // The state before the make was itself checked against a fresh preparation.
            ASSERT_EQ(before[ply].differences(BoardSnapshot::take()), "")
                << "after unmaking " << moveToText(plyState[ply].move) << " in game " << game;
        }
    }
    EXPECT_GT(checks, 30000);
}

TEST(MakeUnmake, EnPassantSquareOnlyWhenAPawnCanTake) {
    // With a black pawn on d4 the double step opens en passant on e3.
    setUpPosition("4k3/8/8/8/3p4/8/4P3/4K3 w - -");
    HashKey key = positionKey;
    makeMove(White, 0, moveOf("e2e4"));
    EXPECT_EQ(epSquare, 20);
    EXPECT_EQ(positionKey, computeHashKey(Black));
    unmakeMove(0);
    EXPECT_EQ(positionKey, key);
    // Without a pawn beside e4 it stays closed.
    setUpPosition("4k3/8/8/8/2p5/8/4P3/4K3 w - -");
    makeMove(White, 0, moveOf("e2e4"));
    EXPECT_EQ(epSquare, 0);

    // e5xd6 takes the pawn on d5 and leaves d6 to the capturer.
    setUpPosition("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
    makeMove(White, 0, moveOf("e5d6", MoveCapture));
    EXPECT_TRUE(isEmpty(35));
    EXPECT_EQ(squares[43].piece, Pawn);
    EXPECT_EQ(squares[43].colour, White);
    EXPECT_EQ(pieceCount[Pawn + 8], 0);
    EXPECT_EQ(board::pawnSet[Black], 0u);
    EXPECT_EQ(positionKey, computeHashKey(Black));
}

TEST(MakeUnmake, PromotionFieldsOutsideBishopRookQueenMakeKnights) {
    for (int field : {1, 2, 6, 7}) {
        setUpPosition("8/4P3/8/8/8/8/k7/4K3 w - -");
        makeMove(White, 0, makeMoveWord(52, 60, field));
        EXPECT_EQ(squares[60].piece, Knight) << field;
        EXPECT_EQ(nonPawnMaterial, 330);
        unmakeMove(0);
        EXPECT_EQ(squares[52].piece, Pawn);
        EXPECT_EQ(nonPawnMaterial, 0);
    }
}

TEST(MakeUnmake, CapturedManReturnsToTheEndOfItsList) {
    // Black's list after preparation: king, then a7 (48), b7 (49), c7 (50).
    setUpPosition("4k3/ppp5/1B6/8/8/8/8/4K3 w - -");
    makeMove(White, 0, moveOf("b6a7", MoveCapture));
    EXPECT_EQ(menCount[Black], 2);
    EXPECT_EQ(pieceList[Black][1], 50);  // the last man took the captured one's slot
    unmakeMove(0);
    EXPECT_EQ(pieceList[Black][1], 50);
    EXPECT_EQ(pieceList[Black][3], 48);
}

}  // namespace
