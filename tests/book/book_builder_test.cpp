// From PGN to a book file and back through the engine's own probe and choice: the
// moves and weights the engine sees, the file's byte order, merged duplicates and
// transpositions, the build options, and a file that is never left half written.
#include "book/book_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "board/board.h"
#include "book/opening_book.h"
#include "book/pgn.h"
#include "driver/game_record.h"
#include "driver/main_loop.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

using book::OpeningBook;
using driver::GameRecord;
using testing_support::runTools;
using testing_support::TempDir;

namespace {

// Nine games. 1.d4 Nf6 2.c4 e6 and 1.c4 e6 2.d4 Nf6 reach one position; the third
// game repeats the first; the eighth comes back to the start before 3.e4.
constexpr const char* Games =
    "[Result \"1-0\"]\n1. d4 Nf6 2. c4 e6 1-0\n"
    "1. c4 e6 2. d4 Nf6 0-1\n"
    "1. d4 Nf6 2. c4 e6 1/2-1/2\n"
    "1. d4 d5 1-0\n"
    "1. d4 Nf6 2. Nf3 1-0\n"
    "1. c4 c5 0-1\n"
    "1. c4 e5 0-1\n"
    "1. Nf3 Nf6 2. Ng1 Ng8 3. e4 *\n"
    "1. e4 e5 1/2-1/2\n";

// Builds a book from Games in dir and opens it as the engine's book.
std::string buildAndOpen(const TempDir& dir, const book::BookBuildOptions& options, int* records = nullptr) {
    dir.write("games.pgn", Games);
    book::BookBuilder builder(options);
    EXPECT_TRUE(builder.addPgnFile(dir.file("games.pgn").c_str(), stderr));
    const std::string file = dir.file("Talvo.book");
    EXPECT_TRUE(builder.writeBook(file.c_str(), records));
    OpeningBook.open(file.c_str());
    return file;
}

struct BookMoves {
    bool inBook = false;
    std::map<std::string, int> weights;  // by coordinate move
    std::string line;                     // the book line the engine would send
};

// What the engine sees after the moves from the start: the candidates it gathers,
// then its choice's book line.
BookMoves bookMovesAfter(const std::string& moves) {
    GameRecord.setPositionFromFen(board::StartFen);
    std::istringstream words(moves);
    for (std::string w; words >> w;) GameRecord.playMove(board::parseMoveText(w.c_str()));
    board::Board.loadRecord(GameRecord.current());
    board::Move legal[driver::MaxLegalMoves];
    bool inCheck = false;
    driver::listLegalMoves(legal, &inCheck);
    BookMoves seen;
    seen.inBook = driver::gatherBookCandidates(legal);
    if (!seen.inBook) return seen;
    for (int i = 0; i < OpeningBook.candidateCount; ++i)
        seen.weights[board::moveToText(OpeningBook.candidates[i].move)] = OpeningBook.candidates[i].weight;
    if (OpeningBook.chooseMove()) seen.line = OpeningBook.bookLine;
    return seen;
}

using Weights = std::map<std::string, int>;

}  // namespace

TEST(BookRoundTrip, TheEngineFindsTheGamesMovesWithTheirCounts) {
    TempDir dir;
    int records = 0;
    const std::string file = buildAndOpen(dir, book::BookBuildOptions{}, &records);

    const BookMoves start = bookMovesAfter("");
    ASSERT_TRUE(start.inBook);
    EXPECT_EQ(start.weights, (Weights{{"d2d4", 4}, {"c2c4", 3}, {"e2e4", 2}, {"g1f3", 1}}));
    EXPECT_EQ(start.line, "0 0 0 0 (d2d4 40%, c2c4 30%, e2e4 20%, g1f3 10%)");
    EXPECT_EQ(bookMovesAfter("d2d4 g8f6").weights, (Weights{{"c2c4", 2}, {"g1f3", 1}}));
    // The repeated game counts twice; both move orders lead into one record of weight 3.
    EXPECT_EQ(bookMovesAfter("d2d4 g8f6 c2c4").weights, (Weights{{"e7e6", 3}}));
    EXPECT_EQ(bookMovesAfter("c2c4 e7e6 d2d4").weights, (Weights{{"g8f6", 3}}));
    // The last position of a line is in the book, though no move leaves it.
    const BookMoves end = bookMovesAfter("d2d4 g8f6 c2c4 e7e6");
    EXPECT_TRUE(end.inBook);
    EXPECT_TRUE(end.weights.empty());
    EXPECT_FALSE(bookMovesAfter("h2h3").inBook);

    // Seventeen positions, each once, in ascending order of their key bytes.
    EXPECT_EQ(records, 17);
    const std::string bytes = dir.read("Talvo.book");
    ASSERT_EQ(bytes.size(), 17u * 16);
    for (size_t i = 16; i < bytes.size(); i += 16)
        EXPECT_LT(std::memcmp(bytes.data() + i - 16, bytes.data() + i, 8), 0) << "record " << i / 16;
    EXPECT_FALSE(dir.exists("Talvo.book.tmp"));
    OpeningBook.close();
}

TEST(BookRoundTrip, MinimumCountMaximumPlyAndResultWeights) {
    TempDir dir;
    int records = 0;
    book::BookBuildOptions options;
    options.minCount = 2;
    buildAndOpen(dir, options, &records);
    EXPECT_EQ(records, 7);
    EXPECT_EQ(bookMovesAfter("").weights, (Weights{{"d2d4", 4}, {"c2c4", 3}, {"e2e4", 2}}));

    options = book::BookBuildOptions{};
    options.maxPly = 1;
    buildAndOpen(dir, options, &records);
    EXPECT_EQ(records, 5);
    const BookMoves after = bookMovesAfter("d2d4");
    EXPECT_TRUE(after.inBook);
    EXPECT_TRUE(after.weights.empty());

    // Two points a win, one a draw or an unknown result, for the side that moved
    // into the position. Every line of 1.c4 was lost by White: its position weighs
    // 0, so the engine never plays 1.c4 but still answers it from the book.
    options = book::BookBuildOptions{};
    options.weightByResults = true;
    buildAndOpen(dir, options);
    EXPECT_EQ(bookMovesAfter("").weights, (Weights{{"d2d4", 7}, {"e2e4", 2}, {"g1f3", 1}}));
    EXPECT_EQ(bookMovesAfter("c2c4").weights, (Weights{{"e7e6", 2}, {"c7c5", 2}, {"e7e5", 2}}));
    OpeningBook.close();
}

TEST(BookRoundTrip, WeightsAreScaledIntoTheEnginesRangeKeepingEveryMove) {
    book::BookBuilder builder{book::BookBuildOptions{}};
    const board::HashKey start{1, 0}, common{2, 0}, rare{3, 0};
    const board::HashKey often[] = {start, common}, once[] = {start, rare};
    for (int i = 0; i < 600000; ++i) builder.addLine(often, 2, book::Draw);
    builder.addLine(once, 2, book::Draw);
    std::map<uint32_t, int32_t> weights;
    for (const book::WrittenRecord& r : builder.records()) {
        book::BookRecord record;
        std::memcpy(record.bytes, r.bytes, 16);
        weights[r.bytes[0]] = book::recordWeight(record);
    }
    EXPECT_EQ(weights[1], book::MaxBookWeight);
    EXPECT_EQ(weights[2], book::MaxBookWeight - 1);
    EXPECT_EQ(weights[3], 1);  // scaled to nothing, kept at the smallest weight
}

TEST(BookTool, BuildsProbesAndNeverLeavesAPartialFile) {
    TempDir dir;
    dir.write("games.pgn", Games);
    dir.write("broken.pgn", std::string(Games) + "1. e4 e5 2. Ke3 *\n");
    const std::string book = dir.file("Talvo.book");
    dir.write("Talvo.book", "an older book");
    std::string out;

    // --strict: one broken game and nothing is written; the older book stays.
    EXPECT_EQ(runTools("book build --strict -o " + book + " " + dir.file("broken.pgn"), &out), 1);
    EXPECT_EQ(dir.read("Talvo.book"), "an older book");
    // Without it the broken game is skipped and the rest built.
    EXPECT_EQ(runTools("book build -o " + book + " " + dir.file("broken.pgn"), &out), 0);
    EXPECT_NE(out.find("game 10 (line 11): illegal move \"Ke3\" at ply 3"), std::string::npos) << out;
    EXPECT_NE(out.find("17 records"), std::string::npos) << out;
    EXPECT_FALSE(dir.exists("Talvo.book.tmp"));
    // A folder that does not exist: a failure, and no file appears anywhere.
    EXPECT_EQ(runTools("book build -o " + dir.file("none/Talvo.book") + " " + dir.file("games.pgn"), &out),
              1);

    EXPECT_EQ(runTools("book probe " + book + " \"" + board::StartFen + "\"", &out), 0);
    EXPECT_NE(out.find("g1f3   Nf3               1   10.00%"), std::string::npos) << out;
    EXPECT_NE(out.find("book line: 0 0 0 0 (d2d4 40%, c2c4 30%, e2e4 20%, g1f3 10%)"), std::string::npos) << out;
    EXPECT_EQ(runTools("book probe " + book + " \"4k3/8/8/8/8/8/8/4K3 w - -\"", &out), 1);
    EXPECT_EQ(runTools("book stats " + book, &out), 0);
    EXPECT_NE(out.find("sorted by key bytes, keys unique"), std::string::npos) << out;
}
