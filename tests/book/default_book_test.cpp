// The default book: its lines (books/openings.pgn) every one legal, written as the
// engine writes its SAN, of a sensible length and there once; and the engine
// started where the README starts it opening from the built book.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "board/board.h"
#include "board/movegen.h"
#include "board/san.h"
#include "book/pgn.h"
#include "driver/game_record.h"
#include "eval/piece_square.h"
#include "support/engine_process.h"

using board::Board;
using driver::GameRecord;

namespace {

constexpr const char* OpeningLines = TALVO_SOURCE_DIR "/books/openings.pgn";

}  // namespace

TEST(DefaultBookLines, EveryMoveIsLegalAndWrittenAsTheEngineWritesIt) {
    book::PgnReader reader;
    ASSERT_TRUE(reader.open(OpeningLines));
    std::set<std::string> lines;
    board::ScoredMove legal[256];
    int games = 0;
    while (reader.nextGame()) {
        ++games;
        const std::string where = "game " + std::to_string(reader.gameNumber) + " (line " +
                                  std::to_string(reader.gameLine) + ")";
        ASSERT_TRUE(GameRecord.setPositionFromFen(board::StartFen));
        std::string moves;
        book::PgnToken token;
        while ((token = reader.nextToken()) == book::PgnToken::Move) {
            const int side = GameRecord.current().sideToMove;
            Board.loadRecord(GameRecord.current());
            eval::prepareRoot(board::Board, side);
            const int count = board::generateLegalMoves(Board, legal, side, 0);
            const board::Move move = board::parseSan(Board, reader.text, legal, count);
            if (move == board::NoMove) {
                ADD_FAILURE() << where << ": no legal move reads " << reader.text;
                break;
            }
            EXPECT_STREQ(reader.text, board::moveToSan(Board, move, legal, count)) << where;
            GameRecord.playMove(move & board::MoveIdentity);
            moves += std::string(reader.text) + " ";
        }
        // One line per game: no variations, and a result closes it.
        if (token != book::PgnToken::Result) {
            ADD_FAILURE() << where << " is not a single line closed by a result";
            continue;
        }
        // From White's 8th move to Black's 16th.
        EXPECT_GE(GameRecord.plyCount, 15) << where;
        EXPECT_LE(GameRecord.plyCount, 32) << where;
        EXPECT_TRUE(lines.insert(moves).second) << where << " repeats an earlier line";
    }
    EXPECT_GE(games, 300);
}

TEST(DefaultBook, TheEngineStartedBesideItOpensWithABookMove) {
    // Test folders stay free of it: every other test starts from an empty folder.
    EXPECT_FALSE(std::filesystem::exists("Talvo.book"));

    // The README starts the engine in the build folder, where the build puts the book.
    ASSERT_TRUE(std::filesystem::exists(TALVO_DEFAULT_BOOK));
    testing_support::EngineProcess engine(std::filesystem::path(TALVO_DEFAULT_BOOK).parent_path().string());
    for (const char* line : {"xboard", "protover 2", "new", "go"}) engine.send(line);
    const std::string bookLine = engine.waitFor("0 0 0 0 (");
    for (const char* move : {"e2e4 ", "d2d4 ", "c2c4 "})
        EXPECT_NE(bookLine.find(move), std::string::npos) << bookLine;
    const std::string move = engine.waitFor("move ");
    ASSERT_GT(move.size(), 5u);
    EXPECT_NE(bookLine.find(move.substr(5) + " "), std::string::npos) << move;
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}
