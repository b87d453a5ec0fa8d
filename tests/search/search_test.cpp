// The search on positions whose answers are facts of chess: mates with exact
// distances, repetitions, forced replies; and the shape of its results.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "driver/interface_state.h"
#include "driver/main_loop.h"
#include "driver/time_budget.h"
#include "search/node_search.h"
#include "search/root_search.h"
#include "search/threads.h"
#include "search/transposition.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

using namespace board;
using search::MainSearch;
using search::searchPosition;
using search::SearchResult;

namespace {

SearchResult searchFen(const char* fen, int depth) {
    if (!search::TransTable.table) search::TransTable.allocate(4096);
    search::TransTable.clear();
    PositionRecord* r = parseFen(fen);
    EXPECT_NE(r, nullptr) << fen;
    return searchPosition(*r, {depth});
}

std::string text(Move m) { return moveToText(m); }

// The root set up for calling the node search directly: a clear table, no stop,
// and no polling (the test's standard input is not an interface).
void prepareNodeSearch(const char* fen) {
    Board.loadRecord(*parseFen(fen));
    ASSERT_TRUE(search::prepareSearch(Board, MainSearch, Board.sideToMove));
    search::TransTable.clear();
    search::searchStopped = 0;
}

}  // namespace

TEST(Search, MatesScoreByTheirDistance) {
    // Mate in 1 and 3 moves: 29999 minus the plies to the mate.
    SearchResult r = searchFen("6k1/5ppp/8/8/8/8/8/R5K1 w - -", 4);
    EXPECT_EQ(text(r.bestMove), "a1a8");
    EXPECT_EQ(r.score, 29998);
    // After a mate at ply 5 is found, only shorter mates are looked for: the
    // iterations end once they pass the new limit of 3.
    r = searchFen("r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", 10);
    EXPECT_EQ(r.score, 29994);
    EXPECT_EQ(MainSearch.evalLine.mateLimit, 3);
    EXPECT_LE(r.depth, 6);

    // The side that gets mated sees the mate coming at the same distance: Kb8 is
    // forced and Rh8 mates at ply 2.
    r = searchFen("k7/8/1K6/8/8/8/8/7R b - -", 4);
    EXPECT_EQ(text(r.bestMove), "a8b8");
    EXPECT_EQ(r.score, -29997);
}

TEST(Search, AForcedMoveEndsTheSearchAfterFiveIterations) {
    // A single legal reply still gets five iterations, then the search ends on its
    // own even without a depth limit.
    search::TransTable.clear();
    const SearchResult r = searchPosition(*parseFen("7k/8/8/8/8/8/1r6/K7 w - -"), {0, driver::fixedTimeBudget(600000)});
    EXPECT_EQ(r.legalMoves, 1);
    EXPECT_EQ(r.depth, 5);

}

TEST(Search, RepetitionsInTheLineAndInTheGameAreDraws) {
    // A node whose position occurred in the game before the root is a draw, but
    // only while no irreversible move separates the two (fifty-move counter >= ply).
    prepareNodeSearch("4k3/8/8/8/8/8/3Q4/4K3 w - -");
    const HashKey key = Board.key;
    MainSearch.gameKeysBegin = &key;
    MainSearch.gameKeysEnd = &key + 1;
    Board.drawValue = 17;
    ScoredMove in{0, makeMoveWord(12, 20)};
    Move line[search::LineLength];
    Board.halfmoveClock = 1;
    EXPECT_EQ(search::searchNode(MainSearch, Board, White, 1, 3, MainSearch.moveList, &in, 0, line, 8, 0, 2),
              -17);
    Board.halfmoveClock = 0;
    EXPECT_NE(search::searchNode(MainSearch, Board, White, 1, 3, MainSearch.moveList, &in, 0, line, 8, 0, 2),
              -17);

    // The same position two plies up the line.
    MainSearch.gameKeysBegin = MainSearch.gameKeysEnd = nullptr;
    search::TransTable.clear();
    Board.slots[0].key = key;
    Board.halfmoveClock = 2;
    EXPECT_EQ(search::searchNode(MainSearch, Board, White, 2, 4, MainSearch.moveList, &in, 0, line, 8, 0, 2),
              17);
    Board.drawValue = 0;
}

TEST(Search, AStalemateMetAgainDeeperStaysADraw) {
    // Black is stalemated: the king has no square, and the rook pinned on the long
    // diagonal has only illegal moves, which the search refutes by taking the king.
    // Met at ply 1 and again at ply 3, as a transposition brings it, the refutations
    // come from the table the second time; were they kept as mates, they would read
    // as mates two plies nearer, and the stalemate would score as a loss.
    prepareNodeSearch("k7/1r1N4/1P6/8/8/5Q2/8/7K b - -");
    MainSearch.gameKeysBegin = MainSearch.gameKeysEnd = nullptr;
    Board.halfmoveClock = 0;
    ScoredMove in{0, makeMoveWord(14, 21)};  // Qg2-f3 pinned the rook
    Move line[search::LineLength];
    EXPECT_EQ(
        search::searchNode(MainSearch, Board, Black, 1, 3, MainSearch.moveList, &in, -50, line, 8, 0, 2), 0);
    // A window the first result does not settle, so the node is searched again.
    EXPECT_EQ(search::searchNode(MainSearch, Board, Black, 3, 5, MainSearch.moveList, &in, 50, line, 8, 0, 2),
              0);
}

TEST(Search, TheDrawValueIsBoundedSoADrawNeverLooksLikeAMate) {
    // DRAW_VALUE at the ends of the int range: the board takes at most a hundred
    // pawns either way, and the draw's negation for the opponent exists.
    EXPECT_EQ(driver::boardDrawValue(INT_MIN), -10000);
    EXPECT_EQ(driver::boardDrawValue(INT_MAX), 10000);
    EXPECT_EQ(driver::boardDrawValue(-25), -25);
    // Qb6 would stalemate; a draw worth -100 pawns is avoided, and no score of
    // the search reads as a mate.
    for (int setting : {INT_MIN, INT_MAX}) {
        Board.drawValue = driver::boardDrawValue(setting);
        const SearchResult r = searchFen("k7/8/8/1Q6/8/8/8/7K w - -", 2);
        EXPECT_LT(r.score, MateBound);
        EXPECT_GT(r.score, -MateBound);
        if (setting == INT_MIN) {
            EXPECT_NE(text(r.bestMove), "b5b6");
        }
    }
    Board.drawValue = 0;
}

TEST(Search, PositionsTheGameWouldRefuseAreNotSearched) {
    // A pawn on its last rank, a side to move that could take the king at once
    // (found by fuzzing: the search took the king, and taking that back overran
    // the piece list), no king at all. Tools search whatever text they are given.
    for (const char* fen : {"4k2P/8/8/8/8/8/8/4K3 b - -", "rnbbkqnr/4pP2/8/8/PPPPP1PP/RNBQKBNR w KQkq e6",
                            "4k3/8/8/8/8/8/8/r3K3 b - -", "8/8/8/8/8/8/8/8 w"}) {
        const SearchResult r = searchFen(fen, 2);
        EXPECT_EQ(r.legalMoves, 0) << fen;
        EXPECT_EQ(r.bestMove, NoMove) << fen;
    }
}

TEST(Search, HistoryNeverPassesItsCap) {
    prepareNodeSearch("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -");
    for (auto& side : MainSearch.ordering.history)
        for (auto& from : side)
            for (int& h : from) h = 1048570;
    ScoredMove in{0, makeMoveWord(52, 36)};
    Move line[search::LineLength];
    search::searchNode(MainSearch, Board, White, 1, 6, MainSearch.moveList, &in, 0, line, 8, 0, 2);
    int most = 0;
    for (auto& side : MainSearch.ordering.history)
        for (auto& from : side)
            for (int h : from) most = h > most ? h : most;
    EXPECT_EQ(most, 1048576);
}

TEST(Search, SameSearchTwiceGivesTheSameTree) {
    const char* fen = "r2q1rk1/1b2bppp/p2p1n2/1p2p3/3NP3/1BN1B3/PPP2PPP/R2Q1RK1 w - -";
    SearchResult a = searchFen(fen, 7);
    SearchResult b = searchFen(fen, 7);
    EXPECT_EQ(a.nodes, b.nodes);
    EXPECT_EQ(a.bestMove, b.bestMove);
    EXPECT_EQ(a.score, b.score);
}

// The bench's total node count is the search's signature: any change to ordering,
// pruning or evaluation changes it. Update tests/data/bench.txt only for an
// intended change.
// The engine runs the same bench as "talvo bench", as engine testers call it, and
// reads nothing of Talvo.ini for it: the table size there must not move the
// signature. They read the last line, "N nodes M nps".
TEST(Bench, NodeCountMatchesTheSignature) {
    std::ifstream expectedFile(std::string(TALVO_TEST_DATA) + "/bench.txt");
    int depth = 0;
    unsigned long long expected = 0, nodes = 0;
    ASSERT_TRUE(expectedFile >> depth >> expected);
    std::string out;
    ASSERT_EQ(testing_support::runTools("bench " + std::to_string(depth), &out), 0) << out;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        std::sscanf(line.c_str(), "Nodes searched: %llu", &nodes);
    EXPECT_EQ(nodes, expected);

    testing_support::TempDir dir;
    dir.write("Talvo.ini", "SIZE_HT 1\n");
    ASSERT_EQ(testing_support::runProgram(dir.path(), TALVO_BINARY, "bench " + std::to_string(depth), &out), 0);
    unsigned long long lastNodes = 0, nps = 0;
    const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
    ASSERT_EQ(std::sscanf(last.c_str(), "%llu nodes %llu nps", &lastNodes, &nps), 2) << out;
    EXPECT_EQ(lastNodes, expected);

    for (const char* bad : {"0", "61", "x", "5x"})
        EXPECT_EQ(testing_support::runProgram(dir.path(), TALVO_BINARY, std::string("bench ") + bad, &out), 2) << bad;
}

TEST(Search, ALineWhoseListsWouldOverflowStopsAtItsStaticScore) {
    prepareNodeSearch("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -");
    ScoredMove* beyond = MainSearch.moveList + search::MoveListCapacity + 1;
    for (ScoredMove* p = beyond; p < MainSearch.moveList + search::MoveListCapacity + search::MoveListSlack;
         ++p)
        *p = {0x5a5a, 0x5a5a};
    ScoredMove in{0, makeMoveWord(52, 36)};
    Move line[search::LineLength];
    const int64_t before = MainSearch.ordering.nodeCount;
    search::searchNode(MainSearch, Board, White, 1, 4, beyond, &in, 0, line, 8, 0, 2);
    EXPECT_EQ(MainSearch.ordering.nodeCount, before + 1);  // no child was searched
    for (ScoredMove* p = beyond; p < MainSearch.moveList + search::MoveListCapacity + search::MoveListSlack;
         ++p)
        ASSERT_EQ(p->move, 0x5a5au);
}

TEST(Search, ALineAsDeepAsThePerPlyTablesStopsAtItsStaticScore) {
    // A depth limit past the tables (checks extend lines) still ends every line
    // by the last per-ply slot: at the deepest ply a node makes no move of its
    // own, and at most a null move looks one ply further.
    prepareNodeSearch("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    for (int ply : {search::MaxSearchPly, search::MaxSearchPly + 1}) {
        ScoredMove in{0, makeMoveWord(8, 16)};
        Move line[search::LineLength];
        const int64_t before = MainSearch.ordering.nodeCount;
        search::searchNode(MainSearch, Board, White, ply, search::MaxPly + 8, MainSearch.moveList, &in,
                           -20000, line, 8, 0, 2);
        EXPECT_LE(MainSearch.ordering.nodeCount, before + 2) << ply;
    }
}

// Two search threads: the helper searches the same root beside the main search and
// shares the table; the main search still decides, and finds what it finds alone.
// Run under ThreadSanitizer as well (test.sh).
TEST(SearchThreads, AHelperSearchesBesideTheMainSearch) {
    ASSERT_EQ(search::SearchThreads.resize(2), 2);
    SearchResult r = searchFen("6k1/5ppp/8/8/8/8/8/R5K1 w - -", 4);
    EXPECT_EQ(text(r.bestMove), "a1a8");
    EXPECT_EQ(r.score, 29998);
    r = searchFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 8);
    EXPECT_GT(search::SearchThreads.helperNodes(), 1000u);
    Board.loadRecord(*parseFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -"));
    ASSERT_TRUE(search::prepareSearch(Board, MainSearch, Board.sideToMove));
    ScoredMove legal[256];
    const int n = generateLegalMoves(Board, legal, Board.sideToMove, 0);
    bool listed = false;
    for (int i = 0; i < n; ++i) listed |= (legal[i].move & MoveIdentity) == r.bestMove;
    EXPECT_TRUE(listed) << text(r.bestMove);
    // Searches one after another: each stops its helper in the middle of a line,
    // and the next starts it afresh.
    for (int depth = 2; depth <= 7; ++depth) {
        r = searchFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", depth);
        EXPECT_NE(r.bestMove, 0u) << depth;
    }
    // Back to one thread: the search is the one it always was.
    ASSERT_EQ(search::SearchThreads.resize(1), 1);
    r = searchFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 6);
    const uint64_t alone = r.nodes;
    EXPECT_EQ(searchFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 6).nodes, alone);
}
