// Perft: the number of leaves of the legal move tree, counted with the engine's own
// generator and make/unmake, against figures known from elsewhere (perft.epd) and
// against a naive reference generator. At every node the incremental key must
// equal the key computed from scratch, and after every unmake the board must equal
// its copy from before the make: plain counts miss many faults these catch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/zobrist.h"
#include "support/board_state.h"
#include "support/reference_chess.h"

using namespace board;
using testing_support::BoardSnapshot;

namespace {

// The engine's count below the root: the search's generator on current attack
// maps, each move kept when it leaves the own king unattacked.
uint64_t enginePerft(int side, int ply, int depth, ScoredMove* list) {
    const int other = 1 - side;
    ++board::ordering->nodeCount;
    EXPECT_EQ(positionKey, computeHashKey(side));
    computeAttackMap(side, attackMap[side]);
    computeAttackMap(other, attackMap[other]);
    const int n = generateMoves(list, side, ply);
    uint64_t leaves = 0;
    for (int i = 0; i < n; ++i) {
        const BoardSnapshot before = BoardSnapshot::take();
        makeMove(side, ply, list[i].move);
        computeAttackMap(other, attackMap[other]);
        if (attackMap[other][pieceList[side][0]] == 0)
            leaves += depth == 1 ? 1 : enginePerft(other, ply + 1, depth - 1, list + n);
        unmakeMove(ply);
        const std::string changed = before.differences(BoardSnapshot::take());
        if (!changed.empty()) {
            ADD_FAILURE() << moveToText(list[i].move) << " at ply " << ply << " not undone:" << changed;
            return leaves;
        }
    }
    return leaves;
}

// Counts per root move, the root list coming from generateLegalMoves.
std::map<std::string, uint64_t> engineDivide(const std::string& fen, int depth) {
    std::map<std::string, uint64_t> counts;
    const int side = testing_support::setUpPosition(fen);
    if (side < 0) return counts;
    static ScoredMove lists[64 * 256];
    const int n = generateLegalMoves(lists, side, 0);
    for (int i = 0; i < n; ++i) {
        std::string text = moveToText(lists[i].move);
        for (char& c : text) c = char(std::tolower(c));
        uint64_t leaves = 1;
        if (depth > 1) {
            makeMove(side, 0, lists[i].move);
            leaves = enginePerft(1 - side, 1, depth - 1, lists + n);
            unmakeMove(0);
        }
        counts[text] = leaves;
    }
    return counts;
}

uint64_t total(const std::map<std::string, uint64_t>& counts) {
    uint64_t sum = 0;
    for (auto& [move, leaves] : counts) sum += leaves;
    return sum;
}

std::map<std::string, uint64_t> referenceDivide(const std::string& fen, int depth) {
    std::map<std::string, uint64_t> counts;
    for (auto& [move, child] : testing_support::referenceChildren(testing_support::referenceFromFen(fen)))
        counts[move] = testing_support::referencePerft(child, depth - 1);
    return counts;
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
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::string fen = line.substr(0, line.find(';'));
        while (!fen.empty() && fen.back() == ' ') fen.pop_back();
        std::vector<PerftCase> depths;
        for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 1)) {
            std::istringstream field(line.substr(at + 2));
            PerftCase c{fen, 0, 0};
            field >> c.depth >> c.leaves;
            depths.push_back(c);
        }
        const PerftCase* quick = nullptr;
        for (const PerftCase& c : depths)
            if (c.leaves <= 200000) quick = &c;
        for (const PerftCase& c : depths) {
            if (!slow && &c == quick) cases.push_back(c);
            if (slow && c.leaves > 200000) cases.push_back(c);
        }
    }
    return cases;
}

class Perft : public testing::TestWithParam<PerftCase> {};

TEST_P(Perft, CountsLeavesOfTheLegalMoveTree) {
    const PerftCase& c = GetParam();
    EXPECT_EQ(total(engineDivide(c.fen, c.depth)), c.leaves) << c.fen << " depth " << c.depth;
}

INSTANTIATE_TEST_SUITE_P(Quick, Perft, testing::ValuesIn(loadCases(false)));
// Registered with CTest only in builds configured with TALVO_SLOW_TESTS.
INSTANTIATE_TEST_SUITE_P(Slow, Perft, testing::ValuesIn(loadCases(true)));

// Kings and pawns only: the lean generator. Compared move by move with the
// reference, in hand-made positions (en passant out of check among them) and in
// random ones.
TEST(PawnEndingPerft, MatchesReferenceGenerator) {
    const char* fens[] = {
        "4k3/8/8/3pP3/4K3/8/8/8 w - d6",          // e5xd6 takes the checking pawn
        "8/8/8/2k5/3Pp3/8/8/4K3 b - d3",          // the same for Black: e4xd3
        "8/8/8/8/2pPp3/8/8/K2k4 b - d3",          // two en passant captures
        "8/2k5/8/pP6/8/8/5K2/8 w - a6",           // b5xa6 along the board edge
        "8/p1p3pp/1p1k1p2/3P4/2PK1P2/6P1/P6P/8 w - -",
        "8/6pk/7p/5P1P/6P1/8/1p6/1K6 w - -",      // promotions for Black soon
        "8/1P6/8/8/8/5k2/6p1/3K4 b - -",          // both sides promote
        "8/8/8/8/8/4k3/4p3/4K3 w - -",            // only king moves
    };
    for (const char* fen : fens) {
        const auto expected = referenceDivide(fen, 4);
        const auto actual = engineDivide(fen, 4);
        EXPECT_EQ(actual, expected) << fen;
    }

    // Random positions: kings anywhere, pawns between the second and seventh
    // ranks, the side that has just moved not in check.
    std::mt19937 random(20240607);
    for (int found = 0; found < 40;) {
        testing_support::ReferencePosition p{};
        std::fill(std::begin(p.squares), std::end(p.squares), '.');
        const std::string men = "Kk" + std::string(1 + random() % 5, 'P') + std::string(1 + random() % 5, 'p');
        for (char man : men) {
            int square;
            do square = man == 'K' || man == 'k' ? int(random() % 64) : 8 + int(random() % 48);
            while (p.squares[square] != '.');
            p.squares[square] = man;
        }
        p.side = int(random() % 2);
        p.ep = -1;
        if (testing_support::referenceKingAttacked(p, 1 - p.side)) continue;
        ++found;
        const std::string fen = testing_support::referenceToFen(p);
        EXPECT_EQ(engineDivide(fen, 4), referenceDivide(fen, 4)) << fen;
    }
}

}  // namespace
