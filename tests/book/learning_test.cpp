// The learning file: lines written by Append come back into the table as they
// were written, and reading stops at the first line that fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/log.h"
#include "board/board.h"
#include "board/position_record.h"
#include "book/learning.h"
#include "search/transposition.h"
#include "support/temp_dir.h"

using book::LearnTable;
using search::TransTable;
using testing_support::ScopedWorkingDir;
using testing_support::TempDir;

namespace {

const char* const Italian = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
const char* const Endgame = "8/5k2/8/3K4/8/8/5P2/8 b - - 0 40";

board::HashKey keyOf(const char* fen) {
    board::Board.loadRecord(*board::parseFen(fen));
    return board::Board.hashKey();
}

// The stored score when a probe with this bound and depth may use it, else NoScore.
int usableScore(const char* fen, int bound, int depth) {
    int score = 0;
    board::Move move = 0;
    return TransTable.probe(keyOf(fen), bound, 0, depth, &score, &move) ? score : board::NoScore;
}

}  // namespace

TEST(LearnFile, AppendedLinesReadBackWithTheirScoreDepthAndBound) {
    TempDir dir;
    ScopedWorkingDir here(dir.path());
    ASSERT_GT(TransTable.allocate(1024), 0);
    EXPECT_EQ(book::appendLearned(-137, Italian, 12, true), 1);
    EXPECT_EQ(book::appendLearned(250, Endgame, 9, false), 1);
    EXPECT_EQ(book::appendLearned(5, "not a position", 9, false), 0);
    EXPECT_EQ(dir.read("Talvo.lrn"), std::string(Italian) + " ;eva=-137;prf=12;Talvo 5.30;\n" + Endgame +
                                         " ;eva>250;prf=9;Talvo 5.30;\n");

    TransTable.clear();
    base::logEnabled = true;
    EXPECT_EQ(LearnTable.load("Talvo.lrn"), 2);
    base::logEnabled = false;
    EXPECT_EQ(dir.read("Talvo.log"), "Add 2 learn\n");

    // Exact: usable against any bound, down to its own depth only.
    EXPECT_EQ(usableScore(Italian, 500, 12), -137);
    EXPECT_EQ(usableScore(Italian, -500, 12), -137);
    EXPECT_EQ(usableScore(Italian, 0, 13), board::NoScore);
    // A lower bound answers only bounds below it.
    EXPECT_EQ(usableScore(Endgame, 249, 9), 250);
    EXPECT_EQ(usableScore(Endgame, 250, 9), board::NoScore);
    EXPECT_EQ(usableScore(Endgame, 0, 10), board::NoScore);

    // With LEARN off nothing is read or written.
    TransTable.clear();
    LearnTable.enabled = false;
    EXPECT_EQ(LearnTable.load("Talvo.lrn"), 0);
    EXPECT_EQ(book::appendLearned(1, Italian, 3, true), 0);
    LearnTable.enabled = true;
    EXPECT_EQ(usableScore(Italian, 0, 1), board::NoScore);
}

TEST(LearnFile, ReadingStopsAtTheFirstBadLine) {
    TempDir dir;
    ScopedWorkingDir here(dir.path());
    ASSERT_GT(TransTable.allocate(1024), 0);
    const std::string fen = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
    const std::string good = fen + " ;eva=10;prf=4;Talvo 5.30;\n";
    const std::vector<std::pair<std::string, int>> files = {
        {"rubbish\n" + good, 0},
        {good + fen + " ;eva=-32000;prf=3;\n" + fen + " ;eva= 31999;prf=3;x;y\n" + good, 4},
        {good + fen + " ;eva=32000;prf=3;\n" + good, 1},  // out of range
        {good + fen + " ;eva:12;prf=3;\n" + good, 1},     // neither "=" nor ">"
        {good + fen + " ;eva=12;prf=0;\n" + good, 1},     // no depth
        {good + fen + " ;eva=12;prf=3\n" + good, 1},      // depth not closed
        {good + std::string(300, 'x') + "\n" + good, 1},
    };
    for (const auto& [contents, count] : files) {
        dir.write("Talvo.lrn", contents);
        EXPECT_EQ(LearnTable.load("Talvo.lrn"), count) << contents;
    }
    std::remove(dir.file("Talvo.lrn").c_str());
    EXPECT_EQ(LearnTable.load("Talvo.lrn"), 0);

    // A shallower entry for a position already learned deeper is refused, but
    // still counted; the deeper one stays.
    TransTable.clear();
    dir.write("Talvo.lrn", fen + " ;eva=40;prf=10;\n" + fen + " ;eva=-40;prf=8;\n");
    EXPECT_EQ(LearnTable.load("Talvo.lrn"), 2);
    EXPECT_EQ(usableScore(fen.c_str(), 0, 10), 40);
}
