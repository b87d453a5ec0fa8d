#include "eval/evaluate.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

#include "board/board.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "driver/game_record.h"
#include "eval/piece_square.h"
#include "support/board_state.h"

using namespace board;
using driver::GameRecord;
using eval::EvalExact;
using eval::EvalLeaf;

namespace {

void setUp(const char* fen) { testing_support::setUpPosition(fen); }

struct Result {
    int score;
    int status;
};

Result evaluateAt(int ply = 0) {
    ScoredMove in{0, makeMoveWord(12, 28)};
    Result r{};
    eval::EvalLine line;
    r.score = eval::evaluate(Board, line, Board.sideToMove, 0, 1, ply, &in, &r.status);
    return r;
}

struct DrawValue {
    explicit DrawValue(int v) : saved(Board.drawValue) { Board.drawValue = v; }
    ~DrawValue() { Board.drawValue = saved; }
    int saved;
};

}  // namespace

// The bench pins the rules themselves (mating material, fifty moves, king captures,
// the mop-up of a bare king); it plays with a draw value of 0 and no tables.
TEST(Evaluate, DrawValueAndTablebaseScoresSeenFromThePly) {
    DrawValue drawValue(25);
    setUp("4k3/8/8/8/8/8/8/4KB2 b - -");
    Result r = evaluateAt(3);
    EXPECT_EQ(r.status, EvalLeaf);
    EXPECT_EQ(r.score, -25);  // odd ply: the opponent's view of the draw
    setUp("4k3/8/8/8/8/8/4P3/3QK3 w - -");
    Board.halfmoveClock = 100;
    EXPECT_EQ(evaluateAt(2).score, 25);
    EXPECT_EQ(eval::tablebaseScoreAtPly(board::Board, 0, 3), -25);
    EXPECT_EQ(eval::tablebaseScoreAtPly(board::Board, 29990, 4), 29986);
    EXPECT_EQ(eval::tablebaseScoreAtPly(board::Board, -29990, 4), -29986);
}

TEST(Evaluate, DrawishEndgameCorrections) {
    DrawValue drawValue(7);
    // The wrong bishop for the h-pawn with the defending king in the corner.
    setUp("7k/8/p7/7P/8/3B4/8/4K3 w - -");
    Result r = evaluateAt();
    EXPECT_EQ(r.score, 7 - 1);
    setUp("7k/8/p7/7P/8/4B3/8/4K3 w - -");  // the right bishop wins
    EXPECT_GT(evaluateAt().score, 200);
    // Nobody can win: exact draw.
    setUp("7k/8/8/7P/8/3B4/8/4K3 w - -");
    r = evaluateAt();
    EXPECT_EQ(r.status, EvalExact);
    EXPECT_EQ(r.score, 7);
}

namespace {

// The board turned top to bottom with the colours exchanged.
PositionRecord mirrored(const PositionRecord& r) {
    PositionRecord m = r;
    for (int s = 0; s < 64; ++s) {
        char c = r.squares[s ^ 56];
        m.squares[s] = char(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
    }
    m.whiteKingside = r.blackKingside;
    m.whiteQueenside = r.blackQueenside;
    m.blackKingside = r.whiteKingside;
    m.blackQueenside = r.whiteQueenside;
    m.whiteCastled = r.blackCastled;
    m.blackCastled = r.whiteCastled;
    m.sideToMove = 1 - r.sideToMove;
    m.epSquare = r.epSquare ? r.epSquare ^ 56 : 0;
    return m;
}

int evaluateRecord(const PositionRecord& r) {
    Board.loadRecord(r);
    EXPECT_TRUE(eval::prepareRoot(board::Board, r.sideToMove));
    int status;
    ScoredMove in{0, 0};
    eval::EvalLine line;
    return eval::evaluate(Board, line, r.sideToMove, 0, 1, 0, &in, &status);
}

// The king's opening table favours the king on the g-file over the c-file on the
// first rank, and reads it turned by 180 degrees for Black: kings on c1, f1, c8 or
// f8 are valued differently from their mirror images by design.
bool kingOnAsymmetricSquare(const PositionRecord& r) {
    for (int s : {2, 5, 58, 61})
        if (r.squares[s] == 'K' || r.squares[s] == 'k') return true;
    return false;
}

}  // namespace

TEST(Evaluate, ColourSymmetryOverRandomGames) {
    const char* openings[] = {
        StartFen,
        "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
        "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq -",
        "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 w - -",
        "8/5pk1/6p1/3P4/2K5/6P1/8/8 w - -",
        "4r1k1/1b3ppp/p7/1p1B4/8/1P3N2/P4PPP/3R2K1 b - -",
    };
    std::mt19937 random(2024);
    int compared = 0;
    ScoredMove list[256];
    for (int game = 0; game < 60; ++game) {
        ASSERT_TRUE(GameRecord.setPositionFromFen(openings[game % 6]));
        for (int ply = 0; ply < 80; ++ply) {
            const PositionRecord r = GameRecord.current();
            if (!kingOnAsymmetricSquare(r)) {
                const int score = evaluateRecord(r);
                ASSERT_EQ(score, evaluateRecord(mirrored(r))) << formatFen(r);
                ++compared;
            }
            Board.loadRecord(r);
            ASSERT_TRUE(eval::prepareRoot(board::Board, r.sideToMove));
            const int n = generateLegalMoves(Board, list, r.sideToMove, 0);
            if (n == 0) break;
            ASSERT_TRUE(GameRecord.playMove(list[random() % n].move & MoveIdentity));
        }
    }
    EXPECT_GT(compared, 500);
}
