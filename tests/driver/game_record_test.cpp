#include "driver/game_record.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/record_rules.h"
#include "search/transposition.h"

using board::parseMoveText;
using board::PositionRecord;
using driver::GameRecord;

namespace {

void play(const std::string& fen, const std::string& moves) {
    if (!fen.empty()) {
        ASSERT_TRUE(GameRecord.setPositionFromFen(fen.c_str())) << fen;
    }
    std::istringstream words(moves);
    for (std::string w; words >> w;) ASSERT_TRUE(GameRecord.playMove(parseMoveText(w.c_str()))) << w;
}

const PositionRecord& now() { return GameRecord.current(); }
char at(const char* square) { return now().squares[board::parseSquare(square)]; }
std::string result() {
    const char* text = GameRecord.gameResultText();
    return text ? text : "";
}
PositionRecord parsed(const char* fen) { return *board::parseFen(fen); }

}  // namespace

TEST(GameRecord, EnPassantCastlingAndTheHalfmoveClock) {
    play(board::StartFen, "e2e4");
    EXPECT_EQ(now().epSquare, 0);  // no black pawn can take
    play("rnbqkbnr/ppp1pppp/8/8/3p4/8/PPPPPPPP/RNBQKBNR w KQkq -", "e2e4");
    EXPECT_EQ(now().epSquare, 20);
    play("", "d4e3");
    EXPECT_EQ(at("e4"), ' ');  // the pawn taken en passant

    play("1n2k2r/8/8/8/8/8/8/RN2K2R w KQk -", "b1c3 b8c6");
    EXPECT_EQ(now().halfmoveClock, 2);
    play("", "e1g1");
    EXPECT_EQ(std::string(now().squares, 8), "R    RK ");  // the rook came along
    EXPECT_EQ(now().whiteCastled, 1);
    EXPECT_EQ(now().whiteKingside + now().whiteQueenside + now().halfmoveClock, 0);
    // A rook leaving its corner costs the right, and restarts the clock, once.
    play("", "c6b8 h8h7");
    EXPECT_EQ(now().blackKingside + now().halfmoveClock, 0);
    play("", "c3b1 h7h8 b1c3 h8h7");
    EXPECT_EQ(now().halfmoveClock, 4);
    // Black castles long on its own rank; White's rights stay untouched.
    play("r3k3/8/8/8/8/8/8/R3K3 b Qq -", "e8c8");
    EXPECT_EQ(std::string(now().squares + 56, 8), "  kr    ");
    EXPECT_EQ(now().blackCastled + now().whiteQueenside, 2);
    EXPECT_EQ(now().blackQueenside + now().whiteCastled, 0);

    play(board::StartFen, "g1f3 b8c6 e2e4");
    EXPECT_EQ(now().halfmoveClock, 0);
    play("", "c6d4 f3d4");
    EXPECT_EQ(now().halfmoveClock, 0);
    play("", "g8f6");
    EXPECT_EQ(GameRecord.historyStart(), GameRecord.plyCount - 1);
}

TEST(GameRecord, DrawsByMaterialFiftyMovesAndRepetition) {
    play("8/8/8/4k3/8/8/8/4K3 w - -", "");
    EXPECT_EQ(result(), "1/2-1/2 {insufficient material}");
    play("4k3/8/8/8/8/8/8/4KN2 w - -", "");
    EXPECT_EQ(result(), "1/2-1/2 {insufficient material}");
    play("4kn2/8/8/8/8/8/8/4KB2 w - -", "");
    EXPECT_EQ(result(), "");

    PositionRecord late = parsed("4k3/8/8/8/8/8/8/R3K3 w - -");
    late.halfmoveClock = 98;
    ASSERT_TRUE(GameRecord.setPositionFromRecord(&late));
    play("", "a1a2");
    EXPECT_EQ(result(), "");
    play("", "e8d8");
    EXPECT_EQ(result(), "1/2-1/2 {the 50 move rule}");

    play(board::StartFen, "g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(result(), "");
    play("", "g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(result(), "1/2-1/2 {Draw by repetition}");
    // Only positions since the last irreversible ply count; that ply itself does.
    GameRecord.positions[4].halfmoveClock = 0;
    EXPECT_EQ(result(), "");
    GameRecord.positions[4].halfmoveClock = 4;
    GameRecord.positions[1].halfmoveClock = 0;
    EXPECT_EQ(result(), "");
}

TEST(GameRecord, ResignsAfterASteadyDeclineUnlessTheOpponentIsShortOfTime) {
    play(board::StartFen, "");
    GameRecord.plyCount = 12;
    for (int k = 0; k < 6; ++k) GameRecord.scores[11 - 2 * k] = -1200 + 100 * k;  // most recent first
    EXPECT_TRUE(GameRecord.shouldResign(40000));
    EXPECT_FALSE(GameRecord.shouldResign(39999));
    GameRecord.scores[3] = GameRecord.scores[1] = -900;  // the decline began later
    EXPECT_FALSE(GameRecord.shouldResign(40000));
    for (int k = 0; k < 6; ++k) GameRecord.scores[11 - 2 * k] = -29500 + 100 * k;  // being mated
    EXPECT_TRUE(GameRecord.shouldResign(20000));
    EXPECT_FALSE(GameRecord.shouldResign(19999));
    GameRecord.plyCount = 0;
    EXPECT_FALSE(GameRecord.shouldResign(100000));
}

TEST(GameRecord, NewGamesTakeBacksAndTheEndOfTheRecord) {
    // The table is cleared when the start position changes, and only then.
    search::TransTable.allocate(1);
    int score = 0;
    board::Move move = 0;
    play(board::StartFen, "");
    search::TransTable.store({5, 6}, 0, 0, 3, 0, 0x77);
    play(board::StartFen, "");
    EXPECT_EQ(search::TransTable.probe({5, 6}, 0, 0, 0, &score, &move), 1);
    play("4k3/8/8/8/8/8/8/R3K3 w - -", "a1a2 e8d8");
    EXPECT_EQ(search::TransTable.probe({5, 6}, 0, 0, 0, &score, &move), 0);
    search::TransTable.allocate(-1);

    // Text that does not parse goes back to the old start.
    EXPECT_FALSE(GameRecord.setPositionFromFen("rnbqkbnr/ppppppppp/8 w"));
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(at("a1"), 'R');
    GameRecord.takeBack(5);
    EXPECT_EQ(GameRecord.plyCount, 0);
}

TEST(PlayablePosition, KingsPawnsMenAndTheSideThatJustMoved) {
    for (const char* fen :
         {"8/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/3KK3 w - -", "4k2P/8/8/8/8/8/8/4K3 w - -",
          "4k3/8/8/8/8/NNNNNNNN/PPPPPPPP/RNBQKBNR w - -",  // 17 men
          "4k3/3P4/8/8/8/8/8/4K3 w - -", "4k3/8/5N2/8/8/8/8/4K3 w - -", "4k3/8/8/8/B7/8/8/4K3 w - -",
          "8/8/8/8/8/8/8/3kK3 w - -",
          // more than promotions give: fifteen queens (found by fuzzing: the first
          // iteration ran for minutes), three knights beside eight pawns
          "qqqqkrqq/qqqqqqqq/8/8/8/8/QQQQQQQQ/QQQQKQQQ w - -", "4k3/8/8/8/8/PPPPPPPP/8/NNN1K3 w - -"})
        EXPECT_FALSE(board::isPlayablePosition(parsed(fen))) << fen;
    for (const char* fen : {board::StartFen, "k7/8/7P/8/8/8/8/4K3 w - -",  // no wrap round the board
                            "4k3/8/8/8/8/8/8/K3R3 b - -",                  // the side to move may be in check
                            "qqqqkqqq/qq6/8/8/8/8/QQ6/QQQQKQQQ w - -"})      // nine queens: eight promoted
        EXPECT_TRUE(board::isPlayablePosition(parsed(fen))) << fen;
}
