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
using eval::EvalNormal;

namespace {

void setUp(const char* fen) { testing_support::setUpPosition(fen); }

struct Result {
    int score;
    int status;
    Move moveIn;
};

Result evaluateAt(int ply = 0, int bound = 0, int depthLimit = 1) {
    ScoredMove in{0, makeMoveWord(12, 28)};
    Result r{};
    r.score = eval::evaluate(Board.sideToMove, bound, depthLimit, ply, &in, &r.status);
    r.moveIn = in.move;
    return r;
}

struct DrawValue {
    explicit DrawValue(int v) : saved(Board.drawValue) { Board.drawValue = v; }
    ~DrawValue() { Board.drawValue = saved; }
    int saved;
};

}  // namespace

TEST(Evaluate, DrawsByRuleAndKingCaptures) {
    DrawValue drawValue(25);
    // A lone minor piece, or the fifty-move rule: the draw value, seen at an odd
    // ply from the opponent's side. Two knights are evaluated.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4KN2 w - -", "4k3/8/8/8/8/8/8/4KB2 b - -"}) {
        setUp(fen);
        const Result r = evaluateAt(3);
        EXPECT_EQ(r.status, EvalLeaf) << fen;
        EXPECT_EQ(r.score, -25) << fen;
    }
    setUp("4k3/8/8/8/8/8/8/3NKN2 w - -");
    EXPECT_EQ(evaluateAt().status, EvalNormal);
    setUp("4k3/8/8/8/8/8/4P3/3QK3 w - -");
    halfmoveClock = 100;
    EXPECT_EQ(evaluateAt(2).score, 25);
    // Tablebase draws and mates seen from a ply of the search.
    EXPECT_EQ(eval::tablebaseScoreAtPly(0, 3), -25);
    EXPECT_EQ(eval::tablebaseScoreAtPly(29990, 4), 29986);
    EXPECT_EQ(eval::tablebaseScoreAtPly(-29990, 4), -29986);

    // The side to move can take the king: the last move was illegal. With kings
    // and pawns only: adjacent kings, or a pawn on the king.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4R1K1 w - -", "8/p7/8/3kK3/8/8/7P/8 w - -", "8/8/8/3k4/4P3/8/8/4K3 w - -"}) {
        setUp(fen);
        const Result r = evaluateAt();
        EXPECT_EQ(r.status, EvalExact) << fen;
        EXPECT_EQ(r.score, KingCaptureScore) << fen;
    }
    // The side to move in check: the move in is marked.
    setUp("8/8/p7/3k4/4P3/8/8/4K3 b - -");
    const Result r = evaluateAt();
    EXPECT_EQ(r.status, EvalNormal);
    EXPECT_TRUE(r.moveIn & MoveCheck);
    setUp("4k3/8/8/8/8/8/8/4R1K1 b - -");
    EXPECT_TRUE(evaluateAt().moveIn & MoveCheck);
}

TEST(Evaluate, BareKingIsDrivenToTheCornerAndTheKingsTogether) {
    setUp("8/8/8/3k4/8/8/8/R3K3 w - -");
    const int centre = evaluateAt().score;
    setUp("8/8/8/8/8/8/8/R3K2k w - -");
    const int corner = evaluateAt().score;
    setUp("8/8/8/8/8/8/5K2/R6k w - -");
    const int cornerClose = evaluateAt().score;
    EXPECT_GT(corner, centre);
    EXPECT_GT(cornerClose, corner);
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
    EXPECT_TRUE(eval::prepareRoot(r.sideToMove));
    int status;
    ScoredMove in{0, 0};
    return eval::evaluate(r.sideToMove, 0, 1, 0, &in, &status);
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
            ASSERT_TRUE(eval::prepareRoot(r.sideToMove));
            const int n = generateLegalMoves(list, r.sideToMove, 0);
            if (n == 0) break;
            ASSERT_TRUE(GameRecord.playMove(list[random() % n].move & MoveIdentity));
        }
    }
    EXPECT_GT(compared, 500);
}
