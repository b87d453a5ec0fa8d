#include "driver/game_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "search/transposition.h"

using board::Move;
using board::PositionRecord;
using driver::GameRecord;

namespace {

void startFrom(const char* fen) {
    ASSERT_TRUE(GameRecord.setPositionFromFen(fen)) << fen;
}

void play(const char* moves) {
    char word[8];
    for (const char* p = moves; *p;) {
        while (*p == ' ') ++p;
        size_t n = std::strcspn(p, " ");
        if (n == 0) break;
        std::memcpy(word, p, n);
        word[n] = 0;
        ASSERT_TRUE(GameRecord.playMove(board::parseMoveText(word))) << word;
        p += n;
    }
}

const PositionRecord& now() { return GameRecord.current(); }
char at(const char* square) { return now().squares[board::parseSquare(square)]; }
std::string result() {
    const char* text = GameRecord.gameResultText();
    return text ? text : "";
}

PositionRecord parsed(const char* fen) {
    const PositionRecord* r = board::parseFen(fen);
    EXPECT_NE(r, nullptr) << fen;
    return r ? *r : PositionRecord{};
}

}  // namespace

TEST(GameRecord, EnPassantSquareOnlyWhenACaptureIsPossible) {
    startFrom(board::StartFen);
    play("e2e4");
    EXPECT_EQ(now().epSquare, 0);
    EXPECT_EQ(now().sideToMove, 1);

    startFrom("rnbqkbnr/ppp1pppp/8/8/3p4/8/PPPPPPPP/RNBQKBNR w KQkq -");
    play("e2e4");
    EXPECT_EQ(now().epSquare, board::parseSquare("e3"));
    // Taking en passant removes the pawn beside, not one on the target square.
    play("d4e3");
    EXPECT_EQ(at("e4"), ' ');
    EXPECT_EQ(at("e3"), 'p');
    EXPECT_EQ(now().epSquare, 0);

    // A pawn on the h-file beside a double step on the a-file is no neighbour.
    startFrom("4k3/8/8/7p/8/8/P7/4K3 w - -");
    play("a2a4");
    EXPECT_EQ(now().epSquare, 0);
}

TEST(GameRecord, CastlingAndTheHalfmoveClock) {
    startFrom("1n2k2r/8/8/8/8/8/8/RN2K2R w KQk -");
    play("b1c3 b8c6");
    EXPECT_EQ(now().halfmoveClock, 2);
    play("e1g1");
    EXPECT_EQ(at("g1"), 'K');
    EXPECT_EQ(at("f1"), 'R');
    EXPECT_EQ(at("h1"), ' ');
    EXPECT_EQ(now().whiteCastled, 1);
    EXPECT_EQ(now().whiteKingside, 0);
    EXPECT_EQ(now().whiteQueenside, 0);
    EXPECT_EQ(now().halfmoveClock, 0);

    // A rook leaving its corner costs the right once; the clock restarts only then.
    play("c6b8 h8h7");
    EXPECT_EQ(now().blackKingside, 0);
    EXPECT_EQ(now().halfmoveClock, 0);
    play("c3b1 h7h8 b1c3 h8h7");
    EXPECT_EQ(now().halfmoveClock, 4);

    // Pawn moves and captures restart it too.
    startFrom(board::StartFen);
    play("g1f3 b8c6");
    EXPECT_EQ(now().halfmoveClock, 2);
    play("e2e4");
    EXPECT_EQ(now().halfmoveClock, 0);
    play("c6d4 f3d4");
    EXPECT_EQ(now().halfmoveClock, 0);
    EXPECT_EQ(GameRecord.historyStart(), GameRecord.plyCount);
    play("g8f6");
    EXPECT_EQ(GameRecord.historyStart(), GameRecord.plyCount - 1);

    // Keys are those the board computes for the position reached.
    board::Board.loadRecord(now());
    EXPECT_EQ(GameRecord.keys[GameRecord.plyCount], board::Board.hashKey());
}

TEST(GameRecord, DrawsByMaterialFiftyMovesAndRepetition) {
    startFrom("8/8/8/4k3/8/8/8/4K3 w - -");
    EXPECT_EQ(result(), "1/2-1/2 {insufficient material}");
    startFrom("4k3/8/8/8/8/8/8/4KN2 w - -");
    EXPECT_EQ(result(), "1/2-1/2 {insufficient material}");
    startFrom("4kn2/8/8/8/8/8/8/4KB2 w - -");
    EXPECT_EQ(result(), "");

    PositionRecord late = parsed("4k3/8/8/8/8/8/8/R3K3 w - -");
    late.halfmoveClock = 98;
    ASSERT_TRUE(GameRecord.setPositionFromRecord(&late));
    play("a1a2");
    EXPECT_EQ(result(), "");
    play("e8d8");
    EXPECT_EQ(result(), "1/2-1/2 {the 50 move rule}");

    startFrom(board::StartFen);
    play("g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(result(), "");
    play("g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(result(), "1/2-1/2 {Draw by repetition}");

    // Repetitions before an irreversible ply do not count; that ply itself does.
    GameRecord.positions[1].halfmoveClock = 0;
    GameRecord.plyCount = 8;
    EXPECT_EQ(result(), "");
    GameRecord.positions[1].halfmoveClock = 1;
    GameRecord.positions[4].halfmoveClock = 0;
    EXPECT_EQ(result(), "");
    GameRecord.positions[4].halfmoveClock = 4;
    GameRecord.positions[0].halfmoveClock = 0;
    EXPECT_EQ(result(), "1/2-1/2 {Draw by repetition}");
}

TEST(GameRecord, ResignsAfterASteadyDeclineUnlessTheOpponentIsShortOfTime) {
    startFrom(board::StartFen);
    GameRecord.plyCount = 12;
    const int declining[6] = {-1200, -1100, -1000, -900, -800, -700};
    for (int k = 0; k < 6; ++k) GameRecord.scores[11 - 2 * k] = declining[k];
    EXPECT_TRUE(GameRecord.shouldResign(40000));
    EXPECT_FALSE(GameRecord.shouldResign(39999));
    EXPECT_FALSE(GameRecord.shouldResign(19999));

    // A score that stopped falling buys no more resignation.
    GameRecord.scores[3] = -900;
    GameRecord.scores[1] = -900;
    EXPECT_FALSE(GameRecord.shouldResign(40000));

    // Being mated: resign with 20 s or more on the opponent's clock, never below.
    for (int k = 0; k < 6; ++k) GameRecord.scores[11 - 2 * k] = -29000 - 100 * (5 - k);
    EXPECT_TRUE(GameRecord.shouldResign(20000));
    EXPECT_FALSE(GameRecord.shouldResign(19999));
    GameRecord.plyCount = 0;
    EXPECT_FALSE(GameRecord.shouldResign(100000));

    GameRecord.scores[0] = board::NoScore;
    GameRecord.plyCount = 2;
    EXPECT_EQ(GameRecord.engineScoreBefore(), 0);
    GameRecord.scores[0] = -35;
    EXPECT_EQ(GameRecord.engineScoreBefore(), -35);
}

TEST(GameRecord, RecaptureNeedsTheOpponentToHaveCapturedThere) {
    startFrom(board::StartFen);
    EXPECT_EQ(GameRecord.isRecapture(board::parseMoveText("e2e4")), 0u);
    play("e2e4 d7d5 e4d5");
    Move retake = board::parseMoveText("d8d5");
    EXPECT_EQ(GameRecord.isRecapture(retake), retake);
    EXPECT_EQ(GameRecord.isRecapture(board::parseMoveText("g8f6")), 0u);
    play("d8d5 b1c3");
    EXPECT_EQ(GameRecord.isRecapture(board::parseMoveText("d5c3")), 0u);  // c3 was empty
}

TEST(GameRecord, NewGamesTakeBacksAndTheEndOfTheRecord) {
    search::TransTable.allocate(1);
    startFrom("4k3/8/8/8/8/8/8/R3K3 w - -");
    startFrom(board::StartFen);
    // The table is cleared when the start position changes, and only then.
    board::HashKey key{5, 6};
    int score = 0;
    Move move = 0;
    search::TransTable.store(key, 0, 0, 3, 0, 0x77);
    startFrom(board::StartFen);
    EXPECT_EQ(search::TransTable.probe(key, 0, 0, 0, &score, &move), 1);
    startFrom("4k3/8/8/8/8/8/8/R3K3 w - -");
    EXPECT_EQ(search::TransTable.probe(key, 0, 0, 0, &score, &move), 0);

    // Text that does not parse keeps the old start and goes back to it.
    play("a1a2 e8d8");
    EXPECT_FALSE(GameRecord.setPositionFromFen("rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w"));
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(at("a1"), 'R');
    EXPECT_FALSE(GameRecord.setPositionFromRecord(nullptr));

    // A stored move replays onto the stored position.
    play("a1a2 e8d8");
    GameRecord.takeBack(2);
    play("a1a2");
    EXPECT_EQ(GameRecord.moves[1], board::parseMoveText("e8d8"));
    GameRecord.takeBack(5);
    EXPECT_EQ(GameRecord.plyCount, 0);

    // The record holds 2048 positions; a move past the last is refused.
    Move shuffle[4] = {board::parseMoveText("a1a2"), board::parseMoveText("e8d8"), board::parseMoveText("a2a1"),
                       board::parseMoveText("d8e8")};
    for (int ply = 0; ply < driver::MaxGamePly - 1; ++ply) ASSERT_TRUE(GameRecord.playMove(shuffle[ply % 4]));
    EXPECT_EQ(GameRecord.plyCount, driver::MaxGamePly - 1);
    EXPECT_FALSE(GameRecord.playMove(shuffle[3]));
    EXPECT_EQ(GameRecord.plyCount, driver::MaxGamePly - 1);
    EXPECT_EQ(result(), "1/2-1/2 {the 50 move rule}");
    search::TransTable.allocate(-1);
}

TEST(PlayablePosition, KingsPawnsMenAndTheSideThatJustMoved) {
    using driver::isPlayablePosition;
    EXPECT_TRUE(isPlayablePosition(parsed(board::StartFen)));
    EXPECT_FALSE(isPlayablePosition(parsed("8/8/8/8/8/8/8/4K3 w - -")));
    EXPECT_FALSE(isPlayablePosition(parsed("4k3/8/8/8/8/8/8/3KK3 w - -")));
    EXPECT_FALSE(isPlayablePosition(parsed("4k2P/8/8/8/8/8/8/4K3 w - -")));
    EXPECT_FALSE(isPlayablePosition(parsed("4k3/8/8/8/8/8/8/4K2p b - -")));
    EXPECT_FALSE(isPlayablePosition(parsed("4k3/8/8/8/8/NNNNNNNN/PPPPPPPP/RNBQKBNR w - -")));

    // Each kind of attacker on the king of the side not to move.
    const char* attacked[] = {
        "4k3/3P4/8/8/8/8/8/4K3 w - -",  // pawn
        "4k3/8/5N2/8/8/8/8/4K3 w - -",  // knight
        "4k3/8/8/8/B7/8/8/4K3 w - -",   // bishop
        "4k3/8/8/8/4R3/8/8/K7 w - -",   // rook
        "4k3/8/8/8/8/8/8/K3Q3 w - -",   // queen down an open file
        "8/8/8/8/8/8/8/3kK3 w - -",     // kings side by side
        "4k3/8/8/8/8/8/8/K6r b - -",    // Black to move, White left in check
    };
    for (const char* fen : attacked) EXPECT_FALSE(isPlayablePosition(parsed(fen))) << fen;

    const char* safe[] = {
        "4k3/3p4/8/8/B7/8/8/4K3 w - -",  // bishop blocked
        "4k3/4n3/8/8/8/8/8/K3R3 w - -",  // rook blocked
        "4k3/4P3/8/8/8/8/8/4K3 w - -",   // pawns take diagonally
        "k7/8/7P/8/8/8/8/4K3 w - -",     // no diagonal wraps round the board
        "k7/8/8/8/8/8/8/K6R w - -",      // the rook's file and rank miss a8
        "4k3/8/8/8/8/8/8/K3R3 b - -",    // the side to move may be in check
    };
    for (const char* fen : safe) EXPECT_TRUE(isPlayablePosition(parsed(fen))) << fen;
}
