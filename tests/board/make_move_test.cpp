// Make and unmake: every incremental update against the state the squares give
// (Position::isConsistent), and the rules that counts alone cannot see.
#include "board/make_move.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "board/attacks.h"
#include "board/board.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/zobrist.h"
#include "support/board_state.h"

using namespace board;
using testing_support::differences;
using testing_support::setUpPosition;

namespace {

// Random games from positions rich in castling, en passant and promotions; null
// moves mixed in. After every make and every unmake the incremental state must
// agree with the squares, and an unmake must give back exactly the position from
// before the make.
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
    static Position before[PlySlots];
    int checks = 0;
    for (int game = 0; game < 1000; ++game) {
        int side = setUpPosition(starts[game % 5]);
        bool nullAt[PlySlots] = {};
        int ply = 0;
        for (; ply < 40; ++ply) {
            before[ply] = Board;
            computeAttackMap(Board, side, Board.attackMapOf(side));
            computeAttackMap(Board, 1 - side, Board.attackMapOf(1 - side));
            nullAt[ply] = !inCheck(Board, side) && random() % 8 == 0;
            if (nullAt[ply]) {
                makeNullMove(Board, side, ply);
                ASSERT_EQ(Board.slots[ply].move, NoMove);
                ASSERT_EQ(Board.epSquare, 0);
            } else {
                const int n = generateLegalMoves(Board, list, side, ply);
                if (n == 0) break;
                const Move move = list[random() % n].move;
                if (move & MoveCapture) {
                    // A capture looked at without being made leaves the lists as
                    // its make and unmake would have.
                    static Position made, looked;
                    made = Board;
                    looked = Board;
                    makeMove(made, side, ply, move);
                    unmakeMove(made, ply);
                    reorderAsIfMadeAndUnmade(looked, side, move);
                    ASSERT_EQ(differences(made, looked), "") << moveToText(move);
                    // (An empty square's slot number means nothing.)
                    bool sameSlots = true;
                    for (int square = 0; square < 64; ++square)
                        sameSlots &= made.isEmpty(square) || made.listSlot[square] == looked.listSlot[square];
                    ASSERT_TRUE(sameSlots && std::equal(&made.pieceList[0][0], &made.pieceList[0][0] + 32,
                                                        &looked.pieceList[0][0]))
                        << "lists after " << moveToText(move) << " in game " << game;
                }
                makeMove(Board, side, ply, move);
            }
            side = 1 - side;
            ASSERT_EQ(Board.key, computeHashKey(Board, side));
            ASSERT_TRUE(Board.isConsistent())
                << "after making " << moveToText(Board.slots[ply].move) << " in game " << game;
            ++checks;
        }
        while (ply-- > 0) {
            side = 1 - side;
            if (nullAt[ply])
                unmakeNullMove(Board, ply);
            else
                unmakeMove(Board, ply);
            ASSERT_TRUE(Board.isConsistent());
            ASSERT_EQ(differences(before[ply], Board), "")
                << "after unmaking " << moveToText(Board.slots[ply].move) << " in game " << game;
        }
    }
    EXPECT_GT(checks, 30000);
}

// The check itself: each kind of damage a faulty make or unmake could do is seen.
TEST(MakeUnmake, TheConsistencyCheckSeesEachKindOfDamage) {
    setUpPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
    const Position good = Board;
    ASSERT_TRUE(good.isConsistent());
    const auto damaged = [&](auto damage) {
        Position p = good;
        damage(p);
        return !p.isConsistent();
    };
    EXPECT_TRUE(damaged([](Position& p) { p.squares[parseSquare("e4")] = {Empty, NoColour}; }));
    EXPECT_TRUE(damaged([](Position& p) { p.squares[parseSquare("a3")] = {Knight, White}; }));
    EXPECT_TRUE(damaged([](Position& p) { std::swap(p.pieceList[White][0], p.pieceList[White][1]); }));
    EXPECT_TRUE(damaged([](Position& p) { p.pieceList[Black][2] = p.pieceList[Black][3]; }));
    EXPECT_TRUE(damaged([](Position& p) { --p.menCount[Black]; }));
    EXPECT_TRUE(damaged([](Position& p) { std::swap(p.listSlot[p.pieceList[White][1]], p.listSlot[p.pieceList[White][2]]); }));
    EXPECT_TRUE(damaged([](Position& p) { ++p.pieceCount[Queen]; }));
    EXPECT_TRUE(damaged([](Position& p) { p.nonPawnMaterial -= 100; }));
    EXPECT_TRUE(damaged([](Position& p) { ++p.materialSum[Black]; }));
    EXPECT_TRUE(damaged([](Position& p) { p.pieceSet[White][board::Pawn] ^= squareBit(parseSquare("d5")); }));
    EXPECT_TRUE(damaged([](Position& p) { p.pieceSet[Black][Queen] = 0; }));
    EXPECT_TRUE(damaged([](Position& p) { p.pawnKey ^= 1; }));
    EXPECT_TRUE(damaged([](Position& p) { p.castleRights = 7; }));
    EXPECT_TRUE(damaged([](Position& p) { p.epSquare = 60; }));
    EXPECT_TRUE(damaged([](Position& p) { p.sideToMove = 2; }));
    // The key's side bit says who is to move: flipping it alone is no damage.
    EXPECT_FALSE(damaged([](Position& p) { p.key.low ^= 1; }));
}

TEST(MakeUnmake, PromotionFieldsOutsideBishopRookQueenMakeKnights) {
    for (int field : {1, 6}) {
        setUpPosition("8/4P3/8/8/8/8/k7/4K3 w - -");
        makeMove(Board, White, 0, makeMoveWord(52, 60, field));
        EXPECT_EQ(Board.squares[60].piece, Knight) << field;
        EXPECT_TRUE(Board.isConsistent());
        EXPECT_EQ(Board.nonPawnMaterial, 330);
        unmakeMove(Board, 0);
        EXPECT_EQ(Board.squares[52].piece, Pawn);
    }
}

}  // namespace
