// Move generation: the illegal cases the generator keeps out (evasions, castling
// rules), which the perft filter would hide. The bench pins the order, the scores
// and the check marks the search reads.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/position_record.h"
#include "support/board_state.h"

using namespace board;
using testing_support::setUpPosition;

namespace {

ScoredMove list[256];

// The pseudo-legal moves of the side to move as text. Evasion marks count only for
// the node that wrote them, so every call gets a node number of its own.
std::vector<std::string> generate(const char* fen) {
    static OrderingContext ordering{};
    const int side = setUpPosition(fen);
    ++ordering.nodeCount;
    Board.ordering = &ordering;
    const int n = generateMoves(Board, list, side, 0);
    std::vector<std::string> moves;
    for (int i = 0; i < n; ++i) moves.push_back(moveToText(list[i].move));
    std::sort(moves.begin(), moves.end());
    return moves;
}

bool contains(const std::vector<std::string>& moves, const char* text) {
    return std::find(moves.begin(), moves.end(), text) != moves.end();
}

using Moves = std::vector<std::string>;

TEST(GenerateMoves, InCheckOnlyMovesThatCanEndTheCheck) {
    // Double check by rook and knight: the king alone moves.
    EXPECT_EQ(generate("k3r3/8/8/8/8/3n4/1B6/R3K3 w - -"), (Moves{"e1d1", "e1d2", "e1f1"}));
    // A knight check cannot be blocked: only its capture and king moves.
    EXPECT_EQ(generate("k7/8/8/8/8/3n4/2B5/R3K3 w - -"), (Moves{"c2d3", "e1d1", "e1d2", "e1e2", "e1f1"}));
    // A rook check is blocked on the file; the king may neither step back along
    // the line nor towards the rook.
    const Moves rookCheck = generate("4r2k/8/8/8/8/8/1B2K3/R7 w - -");
    EXPECT_TRUE(contains(rookCheck, "b2e5"));
    EXPECT_TRUE(contains(rookCheck, "e2d2"));
    for (const char* illegal : {"e2e1", "e2e3", "a1e1"})
        EXPECT_FALSE(contains(rookCheck, illegal)) << illegal;
    // En passant out of a pawn check is listed without the evasion marks.
    EXPECT_TRUE(contains(generate("8/8/8/2k5/3Pp3/8/8/4K2R b - d3"), "e4d3"));
}

TEST(GenerateMoves, CastlingNeverOutOfOrThroughCheck) {
    // f1 covered by the bishop: only the queen side remains.
    const Moves through = generate("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq -");
    EXPECT_FALSE(contains(through, "e1g1"));
    EXPECT_TRUE(contains(through, "e1c1"));
    const Moves inCheck = generate("r3k2r/8/8/4r3/8/8/8/R3K2R w KQkq -");
    EXPECT_FALSE(contains(inCheck, "e1g1") || contains(inCheck, "e1c1"));
    // b1 occupied stops the queen side; b1 merely attacked does not.
    EXPECT_FALSE(contains(generate("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq -"), "e1c1"));
    EXPECT_TRUE(contains(generate("1r2k3/8/8/8/8/8/8/R3K3 w Q -"), "e1c1"));
}

}  // namespace
