// Tables the project builds itself, checked against known endgame facts, and the
// engine playing endgames with them: both sides searched move by move.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "driver/game_record.h"
#include "egtb/probe.h"
#include "egtb/registry.h"
#include "eval/piece_square.h"
#include "search/root_search.h"
#include "search/transposition.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

using driver::GameRecord;
using egtb::TablebaseSet;
using testing_support::runTools;
using testing_support::TempDir;

namespace {

// The longest mate with white to move that the generator reports for a table.
int longestMate(const std::string& report, const std::string& table) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        char name[8];
        int moves = -1;
        if (std::sscanf(line.c_str(), "%7s longest mate %d (white to move)", name, &moves) == 2 &&
            table == name)
            return moves;
    }
    return -1;
}

// The probe's score for a position.
int probeRecord(const board::PositionRecord& record) {
    board::Board.loadRecord(record);
    eval::prepareRoot(board::Board, record.sideToMove);
    return egtb::probeTablebase(board::Board, record.sideToMove);
}

void useTables(const std::string& dir) {
    TablebaseSet.release();
    egtb::initTablebases(dir.c_str(), 16);
    board::Board.tbMenLimit = TablebaseSet.pieceCount;
    if (!search::TransTable.table) search::TransTable.allocate(4096);
}

// Plays fen out with the engine on both sides. Returns the number of moves the side
// to move at the start made until it mated, or -1 when no mate came in maxPlies.
// Every position passed on the way goes to check.
template <typename Check>
int playOut(const char* fen, int maxPlies, Check check) {
    EXPECT_TRUE(GameRecord.setPositionFromFen(fen));
    const int winner = GameRecord.current().sideToMove;
    int moves = 0;
    for (int ply = 0; ply < maxPlies; ++ply) {
        check(GameRecord.current());
        search::TransTable.clear();
        const search::SearchResult r = search::searchPosition(GameRecord.current(), {3});
        if (r.legalMoves == 0)
            return board::kingAttacked(GameRecord.current(), GameRecord.current().sideToMove) ? moves : -1;
        if (GameRecord.current().sideToMove == winner) ++moves;
        GameRecord.playMove(r.bestMove);
    }
    return -1;
}

// A won position: the engine mates in exactly the table's distance, since both
// sides play by the table.
void expectMateWithinDistance(const char* fen) {
    const int score = probeRecord(*board::parseFen(fen));
    ASSERT_GT(score, 0) << fen;
    ASSERT_NE(score, 99999) << fen;
    const int distance = (30002 - score) / 2;
    EXPECT_EQ(playOut(fen, 2 * distance + 2, [](const board::PositionRecord&) {}), distance) << fen;
}

}  // namespace

TEST(Generation, ThreeManTablesKnowTheLongestMatesAndEveryValue) {
    TempDir dir;
    std::string report;
    ASSERT_EQ(runTools("egtb generate kqk krk kbk knk kpk -d " + dir.path(), &report), 0) << report;
    EXPECT_EQ(longestMate(report, "kqk"), 10);
    EXPECT_EQ(longestMate(report, "krk"), 16);
    EXPECT_EQ(longestMate(report, "kpk"), 28);
    EXPECT_EQ(longestMate(report, "kbk"), 0);
    EXPECT_EQ(longestMate(report, "knk"), 0);

    // The tool reads them back as the engine does; its last line is the answer.
    auto answer = [&](const char* fen) {
        std::string out;
        runTools("egtb probe " + dir.path() + " \"" + fen + "\"", &out);
        out.pop_back();
        return out.substr(out.rfind('\n') + 1);
    };
    EXPECT_EQ(answer("k7/8/1K6/8/3Q4/8/8/8 w - -"), "mate 1");
    EXPECT_EQ(answer("k7/Q7/1K6/8/8/8/8/8 b - -"), "mated 0");
    EXPECT_EQ(answer("k7/1Q6/8/3K4/8/8/8/8 b - -"), "draw");
    EXPECT_EQ(answer("k7/1Q6/1K6/8/8/8/8/8 w - -"), "unknown");  // black in check, white to move
}

TEST(Generation, EngineMatesWithinTheTableDistance) {
    TempDir dir;
    std::string report;
    ASSERT_EQ(runTools("egtb generate kqk krk -d " + dir.path(), &report), 0) << report;
    useTables(dir.path());
    expectMateWithinDistance("8/8/8/3k4/8/8/8/K5Q1 w - -");
    expectMateWithinDistance("8/8/8/4k3/8/8/8/R3K3 w - -");
    expectMateWithinDistance("7k/8/8/8/8/8/8/K5R1 w - -");
    TablebaseSet.release();
}

// Every three- and four-man table, built from nothing: the known longest mates, and
// the engine converting and defending with them.
TEST(SlowGeneration, FourManTablesKnowTheLongestMatesAndTheEnginePlaysThem) {
    TempDir dir;
    std::string report;
    ASSERT_EQ(runTools("egtb generate -d " + dir.path(), &report), 0) << report;
    std::printf("%s", report.c_str());
    EXPECT_EQ(longestMate(report, "kbnk"), 33);
    EXPECT_EQ(longestMate(report, "kqkr"), 35);
    EXPECT_EQ(longestMate(report, "krkn"), 40);
    EXPECT_EQ(longestMate(report, "kqkq"), 13);

    useTables(dir.path());
    expectMateWithinDistance("8/8/8/4k3/8/8/8/KBN5 w - -");
    expectMateWithinDistance("8/8/8/8/3k4/8/1K6/Q3r3 w - -");

    // A drawn rook ending stays drawn move after move, whoever is to move.
    const char* drawn = "1r6/8/3k4/8/8/3K4/8/6R1 w - -";
    ASSERT_EQ(probeRecord(*board::parseFen(drawn)), 0);
    EXPECT_EQ(playOut(drawn, 40, [](const board::PositionRecord& r) { EXPECT_EQ(probeRecord(r), 0); }), -1);
    TablebaseSet.release();
}

TEST(SlowIndexing, EveryTablePassesTheCheck) {
    std::string report;
    EXPECT_EQ(runTools("egtb index-check", &report), 0) << report;
    std::printf("%s", report.c_str());
}
