// Move generation: the order and scores the search depends on, and the cheap
// illegal cases the generator keeps out (evasions, castling rules).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "support/board_state.h"

using namespace board;
using testing_support::setUpPosition;

namespace {

ScoredMove list[256];

// The pseudo-legal list of the side to move, generated as the search would at ply.
// Evasion marks count only for the node that wrote them, so every call gets a node
// number of its own, as in a search (after a root preparation every square counts
// as marked).
std::vector<ScoredMove> generate(const char* fen, int ply = 0) {
    static int64_t node = 1000;
    const int side = setUpPosition(fen);
    board::ordering->nodeCount = ++node;
    const int n = generateMoves(list, side, ply);
    return std::vector<ScoredMove>(list, list + n);
}

bool contains(const std::vector<ScoredMove>& moves, const char* text) {
    for (const ScoredMove& m : moves)
        if (std::string(moveToText(m.move)) == text) return true;
    return false;
}

TEST(GenerateMoves, StartPositionOrderAndScores) {
    // The last list slot is h2, so the h-pawn comes first; the knights follow the
    // pawns, each along its ray order.
    const std::vector<std::pair<std::string, int>> expected = {
        {"h2h3", 2},  {"h2h4", 2},  {"g2g3", 4},  {"g2g4", 4},  {"f2f3", -2}, {"f2f4", 8},  {"e2e3", 10},
        {"e2e4", 20}, {"d2d3", 10}, {"d2d4", 20}, {"c2c3", -2}, {"c2c4", 8},  {"b2b3", 4},  {"b2b4", 4},
        {"a2a3", 2},  {"a2a4", 2},  {"g1f3", 22}, {"g1h3", 5},  {"b1a3", 5},  {"b1c3", 23},
    };
    std::vector<std::pair<std::string, int>> actual;
    for (const ScoredMove& m : generate(StartFen)) actual.push_back({moveToText(m.move), m.score});
    EXPECT_EQ(actual, expected);
}

TEST(GenerateMoves, InCheckOnlyMovesThatCanEndTheCheck) {
    // Double check by rook and knight: the king alone moves.
    for (const ScoredMove& m : generate("k3r3/8/8/8/8/3n4/1B6/R3K3 w - -"))
        EXPECT_EQ(moveFrom(m.move), 4) << moveToText(m.move);

    // A knight check cannot be blocked: only its capture and king moves.
    auto knightCheck = generate("k7/8/8/8/8/3n4/2B5/R3K3 w - -");
    EXPECT_TRUE(contains(knightCheck, "c2d3"));
    for (const ScoredMove& m : knightCheck)
        if (moveFrom(m.move) != 4) {
            EXPECT_EQ(moveToText(m.move), std::string("c2d3"));
        }

    // A rook check is blocked on the file; the king may neither step back along
    // the line nor towards the rook.
    auto rookCheck = generate("4r2k/8/8/8/8/8/1B2K3/R7 w - -");
    EXPECT_TRUE(contains(rookCheck, "b2e5"));
    EXPECT_FALSE(contains(rookCheck, "e2e1"));
    EXPECT_FALSE(contains(rookCheck, "e2e3"));
    EXPECT_FALSE(contains(rookCheck, "a1e1"));
    EXPECT_TRUE(contains(rookCheck, "e2d2"));

    // En passant out of a pawn check is listed without the evasion marks.
    auto pawnCheck = generate("8/8/8/2k5/3Pp3/8/8/4K2R b - d3");
    EXPECT_TRUE(contains(pawnCheck, "e4d3"));
}

TEST(GenerateMoves, CastlingNeverOutOfOrThroughCheck) {
    EXPECT_TRUE(contains(generate("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"), "e1g1"));
    // f1 covered by the bishop: only the queen side remains.
    auto through = generate("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq -");
    EXPECT_FALSE(contains(through, "e1g1"));
    EXPECT_TRUE(contains(through, "e1c1"));
    // In check from e5: neither.
    auto inCheck = generate("r3k2r/8/8/4r3/8/8/8/R3K2R w KQkq -");
    EXPECT_FALSE(contains(inCheck, "e1g1"));
    EXPECT_FALSE(contains(inCheck, "e1c1"));
    // b1 occupied stops the queen side; b1 or a1 merely attacked does not.
    EXPECT_FALSE(contains(generate("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq -"), "e1c1"));
    EXPECT_TRUE(contains(generate("1r2k3/8/8/8/8/8/8/R3K3 w Q -"), "e1c1"));
    EXPECT_TRUE(contains(generate("r3k3/8/8/8/8/8/8/R3K3 w Q -"), "e1c1"));
}

TEST(GenerateMoves, PromotionsQueenRookBishopKnightAndSeventhRankFlag) {
    setUpPosition("8/4P3/8/8/8/8/k7/N3K3 w - -");
    plyState[0].move = 0;
    board::ordering->hashMove = makeMoveWord(52, 60, Queen);
    const int n = generateMoves(list, White, 1);
    std::vector<std::pair<std::string, int>> promotions;
    for (int i = 0; i < n; ++i)
        if (moveFrom(list[i].move) == 52) promotions.push_back({moveToText(list[i].move), list[i].score});
    const std::vector<std::pair<std::string, int>> expected = {
        {"e7e8Q", 10940}, {"e7e8R", 0}, {"e7e8B", 0}, {"e7e8N", 230}};
    EXPECT_EQ(promotions, expected);
    board::ordering->hashMove = 0;

    // A pawn reaching its seventh rank is flagged, for either colour; other pushes not.
    for (const ScoredMove& m : generate("8/8/4P3/8/8/3p4/k7/N3K3 w - -"))
        if (moveFrom(m.move) == 44) {
            EXPECT_TRUE(m.move & MovePawnSeventh);
        }
    for (const ScoredMove& m : generate("8/8/4P3/8/8/3p4/k7/N3K3 b - -"))
        if (moveFrom(m.move) == 19) {
            EXPECT_TRUE(m.move & MovePawnSeventh);
        }
    for (const ScoredMove& m : generate(StartFen)) EXPECT_FALSE(m.move & MovePawnSeventh);
}

TEST(GenerateLegalMoves, MarksChecksAndTellsMateFromStalemate) {
    // The rook moves that attack the king carry MoveCheck, and only those.
    int side = setUpPosition("k7/8/8/8/8/8/8/1R5K w - -");
    int n = generateLegalMoves(list, side, 0);
    std::vector<std::string> checking;
    for (int i = 0; i < n; ++i)
        if (list[i].move & MoveCheck) checking.push_back(moveToText(list[i].move));
    std::sort(checking.begin(), checking.end());
    EXPECT_EQ(checking, (std::vector<std::string>{"b1a1", "b1b8"}));

    // Stalemate and mate both leave no move; only the check tells them apart.
    side = setUpPosition("k7/2Q5/1K6/8/8/8/8/8 b - -");
    EXPECT_EQ(generateLegalMoves(list, side, 0), 0);
    computeAttackMap(White, attackMap[White]);
    EXPECT_FALSE(inCheck(Black));
    side = setUpPosition("k7/1Q6/1K6/8/8/8/8/8 b - -");
    EXPECT_EQ(generateLegalMoves(list, side, 0), 0);
    computeAttackMap(White, attackMap[White]);
    EXPECT_TRUE(inCheck(Black));
}

}  // namespace
