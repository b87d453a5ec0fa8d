// Reading PGN: the movetext grammar, lenient move text, games from a FEN tag, and
// the reasons a malformed game is rejected with.
#include "book/pgn.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "book/book_builder.h"
#include "driver/game_record.h"
#include "support/board_state.h"
#include "support/temp_dir.h"

using driver::GameRecord;
using testing_support::TempDir;

namespace {

uint64_t number(board::HashKey key) { return uint64_t(key.high) << 32 | key.low; }

// The keys the engine's record gives the positions along coordinate moves.
std::vector<uint64_t> keysAlong(const char* fen, const std::string& moves) {
    GameRecord.setPositionFromFen(fen);
    std::vector<uint64_t> keys{number(GameRecord.keys[0])};
    std::istringstream words(moves);
    for (std::string w; words >> w;) {
        GameRecord.playMove(board::parseMoveText(w.c_str()));
        keys.push_back(number(GameRecord.keys[GameRecord.plyCount]));
    }
    return keys;
}

class Lines : public book::PgnLineSink {
public:
    void lineEnd(const board::HashKey* keys, int count) override {
        lines.emplace_back();
        for (int i = 0; i < count; ++i) lines.back().push_back(number(keys[i]));
    }
    std::vector<std::vector<uint64_t>> lines;
};

// Replays every game of pgn; the lines of all games, in the order they ended.
std::vector<std::vector<uint64_t>> replayAll(const std::string& pgn, int* games = nullptr) {
    TempDir dir;
    dir.write("games.pgn", pgn);
    book::PgnReader reader;
    EXPECT_TRUE(reader.open(dir.file("games.pgn").c_str()));
    auto replay = std::make_unique<book::PgnReplay>();
    Lines sink;
    while (reader.nextGame()) EXPECT_TRUE(replay->replayGame(reader, sink, 50)) << replay->error;
    if (games) *games = reader.gameNumber;
    return sink.lines;
}

}  // namespace

TEST(PgnReplay, ReadsCommentsNagsMoveNumbersAndNestedVariations) {
    // The replay plays on a position of its own: the engine's stays as it was.
    testing_support::setUpPosition("r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6");
    const board::Position engine = board::Board;
    int games = 0;
    const auto lines = replayAll(
        "% an escape line\n"
        "[Event \"grammar\"]\n[Result \"1-0\"]\n\n"
        "1. e4 {a comment with [brackets] and (parentheses)} e5 ; to the end of the line 2. d4\n"
        "2.Ngf3 $1 Nc6!? (2... d6 3. d4 (3. Bc4 Be7) exd4) 3. Bb5 a6 4. Bxc6 dxc6 1-0\n"
        "1. d4 d5 *\n",
        &games);
    EXPECT_EQ(testing_support::differences(engine, board::Board), "");
    EXPECT_TRUE(board::Board.isConsistent());
    EXPECT_EQ(games, 2);  // the second game has no tags at all
    ASSERT_EQ(lines.size(), 4u);
    // Variations end before the line around them.
    EXPECT_EQ(lines[0], keysAlong(board::StartFen, "e2e4 e7e5 g1f3 d7d6 f1c4 f8e7"));
    EXPECT_EQ(lines[1], keysAlong(board::StartFen, "e2e4 e7e5 g1f3 d7d6 d2d4 e5d4"));
    EXPECT_EQ(lines[2], keysAlong(board::StartFen, "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5c6 d7c6"));
    EXPECT_EQ(lines[3], keysAlong(board::StartFen, "d2d4 d7d5"));
}

TEST(PgnReplay, StartsFromTheFenTagAndReadsLenientMoveText) {
    const char* fen = "4k3/1P6/8/8/8/8/8/R3K2R w KQ - 0 1";
    const auto lines = replayAll(std::string("[FEN \"") + fen + "\"]\n[SetUp \"1\"]\n" +
                                 "1. b8Q+ Kd7 2. 0-0-0+ Kc6 3. Rh1-h6+ Kc5 4. Qb8-b4+ *\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], keysAlong(fen, "b7b8q e8d7 e1c1 d7c6 h1h6 c6c5 b8b4"));

    // An en passant square in the tag is kept as the engine keeps it after setboard.
    const char* passant = "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3";
    const auto taken = replayAll(std::string("[FEN \"") + passant + "\"]\n3... dxe3 e.p. 4. dxe3 *\n");
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0], keysAlong(passant, "d4e3 d2e3"));
}

TEST(PgnReplay, RejectsMalformedGamesWithTheirNumberAndReason) {
    TempDir dir;
    dir.write("broken.pgn",
              "[Event \"fine\"]\n1. e4 e5 *\n\n"
              "[Event \"illegal\"]\n1. e4 e5 2. Ke3 Nf6 *\n\n"
              "[FEN \"4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1\"]\n1. Nd2 *\n\n"
              "[Event \"open variation\"]\n1. e4 (1. d4 d5 *\n\n"
              "[Event \"stray\"]\n1. e4 ) e5 *\n\n"
              "[Event \"too early\"]\n( 1. d4 ) 1. e4 *\n\n"
              "[Event \"bad tag]\n1. e4 *\n\n"
              "[Variant \"chess960\"]\n1. e4 *\n\n"
              "[FEN \"8/8/8/8/8/8/8/8 w - - 0 1\"]\n1. e4 *\n\n"
              "[Event \"null\"]\n1. e4 -- 2. d4 *\n\n"
              "[Event \"also fine\"]\n1. d4 d5 1/2-1/2\n\n"
              "[Event \"open comment\"]\n1. e4 { never closed\n");
    std::FILE* report = std::tmpfile();
    ASSERT_NE(report, nullptr);
    book::BookBuilder builder{book::BookBuildOptions{}};
    ASSERT_TRUE(builder.addPgnFile(dir.file("broken.pgn").c_str(), report));
    std::rewind(report);
    std::string text;
    for (int c; (c = std::fgetc(report)) != EOF;) text += char(c);
    std::fclose(report);

    EXPECT_EQ(builder.gamesRead, 2);
    EXPECT_EQ(builder.gamesSkipped, 10);
    // start, e4, e5, d4, d5: nothing of the broken games got in.
    EXPECT_EQ(builder.tallies.size(), 5u);
    for (const char* expected : {"game 2 (line 4): illegal move \"Ke3\" at ply 3",
                                 "game 3 (line 7): ambiguous move \"Nd2\" at ply 1",
                                 "game 4 (line 10): variation never closed", "game 5 (line 13): \")\" without \"(\"",
                                 "game 6 (line 16): variation before the first move",
                                 "game 7 (line 19): malformed tag pair",
                                 "game 8 (line 22): variant \"chess960\" is not standard chess",
                                 "game 9 (line 25): FEN tag \"8/8/8/8/8/8/8/8 w - - 0 1\" is not a playable position",
                                 "game 10 (line 28): null move at ply 2", "game 12 (line 34): comment never closed"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
}
