// The default book's lines (books/openings.pgn): every move legal and written as
// the engine writes its SAN, every line of a sensible length, no line twice.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "board/board.h"
#include "board/movegen.h"
#include "board/san.h"
#include "book/pgn.h"
#include "driver/game_record.h"
#include "eval/piece_square.h"

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
            eval::prepareRoot(side);
            const int count = board::generateLegalMoves(legal, side, 0);
            const board::Move move = board::parseSan(reader.text, legal, count);
            if (move == board::NoMove) {
                ADD_FAILURE() << where << ": no legal move reads " << reader.text;
                break;
            }
            EXPECT_STREQ(reader.text, board::moveToSan(move, legal, count)) << where;
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
