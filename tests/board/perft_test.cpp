// Perft: the number of leaves of the legal move tree, counted with the engine's own
// generator and make/unmake, against figures known from elsewhere (perft.epd; the
// pawn endings, hand-made and random, exercise the generator that kings and pawns
// alone get). At every node the incremental key must equal the key computed from
// scratch, and after every unmake the position must agree with its squares and
// equal its copy from before the make: plain counts miss many faults these catch.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/zobrist.h"
#include "support/board_state.h"
#include "support/table_files.h"

using namespace board;
using testing_support::differences;

namespace {

// No search: only the node counter of the evasion marks moves.
OrderingContext PerftOrdering{};

// The engine's count below the root: the search's generator on current attack
// maps, each move kept when it leaves the own king unattacked. The maps come from
// the parent's, as in the search; they must equal maps built from the squares.
uint64_t enginePerft(int side, int ply, int depth, ScoredMove* list) {
    const int other = 1 - side;
    ++PerftOrdering.nodeCount;
    EXPECT_EQ(Board.key, computeHashKey(Board, side));
    ensureAttackMaps(Board);
    if (!attackMapsAreCurrent(Board)) {
        ADD_FAILURE() << "maps from the parent's differ from a build at ply " << ply;
        return 0;
    }
    // The evaluation asks "is this square attacked?" without the maps.
    for (int square = 0; square < 64; ++square)
        for (int colour : {White, Black})
            if (isAttackedBy(Board, colour, square) != (Board.attackMapOf(colour)[square] != 0) ||
                (square != Board.pieceList[1 - colour][0] &&
                 attackCount(Board, colour, square) != (Board.attackMapOf(colour)[square] & AttackCountMask))) {
                ADD_FAILURE() << "attack on square " << square << " by colour " << colour << " at ply " << ply;
                return 0;
            }
    const int n = generateMoves(Board, list, side, ply);
    static Position before[64];
    before[ply] = Board;
    uint64_t leaves = 0;
    for (int i = 0; i < n; ++i) {
        // What the search reads of a child before making the move.
        const HashKey keyBefore = keyAfter(Board, side, list[i].move);
        const int clockBefore = halfmoveClockAfter(Board, list[i].move);
        makeMove(Board, side, ply, list[i].move);
        EXPECT_EQ(Board.key, keyBefore) << moveToText(list[i].move) << " at ply " << ply;
        EXPECT_EQ(Board.halfmoveClock, clockBefore) << moveToText(list[i].move) << " at ply " << ply;
        ensureAttackMaps(Board);
        if (Board.attackMapOf(other)[Board.pieceList[side][0]] == 0)
            leaves += depth == 1 ? 1 : enginePerft(other, ply + 1, depth - 1, list + n);
        unmakeMove(Board, ply);
        const std::string changed = differences(before[ply], Board);
        if (!changed.empty() || !Board.isConsistent()) {
            ADD_FAILURE() << moveToText(list[i].move) << " at ply " << ply << " not undone:" << changed;
            return leaves;
        }
    }
    return leaves;
}

// Leaves below the root, whose list comes from generateLegalMoves.
uint64_t perftFromRoot(const std::string& fen, int depth) {
    const int side = testing_support::setUpPosition(fen);
    if (side < 0) return 0;
    static ScoredMove lists[64 * 256];
    Board.ordering = &PerftOrdering;
    const int n = generateLegalMoves(Board, lists, side, 0);
    if (depth == 1) return uint64_t(n);
    uint64_t leaves = 0;
    for (int i = 0; i < n; ++i) {
        makeMove(Board, side, 0, lists[i].move);
        leaves += enginePerft(1 - side, 1, depth - 1, lists + n);
        unmakeMove(Board, 0);
    }
    return leaves;
}

// Maps are brought up across up to three moves when the nodes between read none
// (a quiescence node listing captures alone): after every line of three moves, a
// null move among them, and after every two, the maps must equal a build.
bool mapsBridgeEveryLine(const std::string& fen) {
    const int side = testing_support::setUpPosition(fen);
    if (side < 0) return false;
    Board.ordering = &PerftOrdering;
    static ScoredMove first[256], second[256], third[256];
    static Position scratch;
    // The legal replies after the moves made on Board, listed on a copy so that
    // Board's own maps stay as the moves left them.
    const auto replies = [](int mover, int ply, ScoredMove* list) {
        scratch = Board;
        return generateLegalMoves(scratch, list, mover, ply);
    };
    const auto checkLines = [&](int mover, int ply, int n, const char* what) {
        for (int i = 0; i < n; ++i) {
            makeMove(Board, mover, ply, third[i].move);
            ensureAttackMaps(Board);
            const bool same = attackMapsAreCurrent(Board);
            unmakeMove(Board, ply);
            if (!same) {
                ADD_FAILURE() << what << " then " << moveToText(third[i].move) << " in " << fen;
                return false;
            }
        }
        return true;
    };
    const int n1 = generateLegalMoves(Board, first, side, 0);
    for (int i = 0; i < n1; ++i) {
        makeMove(Board, side, 0, first[i].move);
        const int n2 = replies(1 - side, 1, second);
        for (int j = 0; j < n2; ++j) {
            makeMove(Board, 1 - side, 1, second[j].move);
            std::string line = moveToText(first[i].move);
            line += std::string(" ") + moveToText(second[j].move);
            if (!checkLines(side, 2, replies(side, 2, third), line.c_str())) return false;
            ensureAttackMaps(Board);
            if (!attackMapsAreCurrent(Board)) {
                ADD_FAILURE() << line << " in " << fen;
                return false;
            }
            unmakeMove(Board, 1);
        }
        // The search passes only when not in check.
        if (!isAttackedBy(Board, side, Board.pieceList[1 - side][0])) {
            makeNullMove(Board, 1 - side, 1);
            if (!checkLines(side, 2, replies(side, 2, third), moveToText(first[i].move))) return false;
            unmakeNullMove(Board, 1);
        }
        unmakeMove(Board, 0);
    }
    return true;
}

TEST(AttackMaps, BroughtUpAcrossSeveralMovesEqualABuild) {
    // Castling both ways, en passant, promotions with and without capture, checks.
    for (const char* fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"})
        EXPECT_TRUE(mapsBridgeEveryLine(fen));
}

struct PerftCase {
    std::string fen;
    int depth;
    uint64_t leaves;
};

void PrintTo(const PerftCase& c, std::ostream* out) { *out << c.fen << " depth " << c.depth; }

// perft.epd: "FEN ;D1 n ;D2 n ...". Shallow cases (up to about 200000 leaves,
// the deepest such depth of each position) run by default, the deeper ones only in
// the slow suite.
std::vector<PerftCase> loadCases(bool slow) {
    std::vector<PerftCase> cases;
    std::ifstream in(TALVO_TEST_DATA "/perft.epd");
    for (std::string line; std::getline(in, line);) {
        std::string fen = line.substr(0, line.find(" ;"));
        PerftCase quick{fen, 0, 0};
        for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 1)) {
            PerftCase c{fen, 0, 0};
            std::istringstream(line.substr(at + 2)) >> c.depth >> c.leaves;
            if (c.leaves <= 200000) quick = c;
            else if (slow) cases.push_back(c);
        }
        if (!slow && quick.depth > 0) cases.push_back(quick);
    }
    return cases;
}

class Perft : public testing::TestWithParam<PerftCase> {};

TEST_P(Perft, CountsLeavesOfTheLegalMoveTree) {
    const PerftCase& c = GetParam();
    EXPECT_EQ(perftFromRoot(c.fen, c.depth), c.leaves) << c.fen << " depth " << c.depth;
}

// The tool counts its last ply without making the moves: it must agree as well.
TEST(PerftTool, CountsTheSameLeaves) {
    for (const PerftCase& c : loadCases(false)) {
        std::string output;
        ASSERT_EQ(testing_support::runTools("perft \"" + c.fen + "\" " + std::to_string(c.depth), &output), 0);
        const std::string expected = "perft " + std::to_string(c.depth) + ": " + std::to_string(c.leaves) + " nodes";
        EXPECT_NE(output.find(expected), std::string::npos) << c.fen << "\n" << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Quick, Perft, testing::ValuesIn(loadCases(false)));
// Registered with CTest only in builds configured with TALVO_SLOW_TESTS.
INSTANTIATE_TEST_SUITE_P(Slow, Perft, testing::ValuesIn(loadCases(true)));

}  // namespace
