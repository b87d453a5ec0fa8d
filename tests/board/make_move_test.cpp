// Make and unmake: every incremental update against the state the root
// preparation computes from scratch, and the rules that counts alone cannot see.
#include <gtest/gtest.h>

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
            computeAttackMap(Board, side, Board.attackMap[side]);
            computeAttackMap(Board, 1 - side, Board.attackMap[1 - side]);
            nullAt[ply] = !inCheck(Board, side) && random() % 8 == 0;
            if (nullAt[ply]) {
                makeNullMove(Board, side, ply);
                ASSERT_EQ(Board.slots[ply].move, NoMove);
                ASSERT_EQ(Board.epSquare, 0);
            } else {
                const int n = generateLegalMoves(Board, list, side, ply);
                if (n == 0) break;
                makeMove(Board, side, ply, list[random() % n].move);
            }
            side = 1 - side;
            ASSERT_EQ(Board.key, computeHashKey(Board, side));
            const std::string changed = freshDerivedState(side).differences(BoardSnapshot::take());
            ASSERT_EQ(changed, "") << "after making " << moveToText(Board.slots[ply].move) << " in game "
                                   << game;
            ++checks;
        }
        while (ply-- > 0) {
            side = 1 - side;
            if (nullAt[ply])
                unmakeNullMove(Board, ply);
            else
                unmakeMove(Board, ply);
            // The state before the make was itself checked against a fresh preparation.
            ASSERT_EQ(before[ply].differences(BoardSnapshot::take()), "")
                << "after unmaking " << moveToText(Board.slots[ply].move) << " in game " << game;
        }
    }
    EXPECT_GT(checks, 30000);
}

TEST(MakeUnmake, PromotionFieldsOutsideBishopRookQueenMakeKnights) {
    for (int field : {1, 6}) {
        setUpPosition("8/4P3/8/8/8/8/k7/4K3 w - -");
        makeMove(Board, White, 0, makeMoveWord(52, 60, field));
        EXPECT_EQ(Board.squares[60].piece, Knight) << field;
        EXPECT_EQ(Board.nonPawnMaterial, 330);
        unmakeMove(Board, 0);
        EXPECT_EQ(Board.squares[52].piece, Pawn);
    }
}

}  // namespace
