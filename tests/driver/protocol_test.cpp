// The command interpreter and the time budget, called in-process on single lines.
#include "driver/protocol.h"

#include <gtest/gtest.h>

#include "board/position_record.h"
#include "driver/game_record.h"
#include "driver/search_control.h"

using namespace driver;

namespace {

int line(const char* text) { return handleCommandLine(text); }

void expectBudget(uint32_t hard, uint32_t target) {
    computeTimeBudget();
    EXPECT_EQ(hardTimeLimit, hard);
    EXPECT_EQ(targetTime, target);
}

}  // namespace

TEST(Commands, TimeBudgetFromTheClockAndTheTimeControl) {
    line("st 5");
    expectBudget(5000, 20000);
    line("level 0 5 0");  // ends the fixed time
    line("time 30000");
    expectBudget(24832, 6208);
    line("hard");
    expectBudget(29800, 7450);
    line("easy");
    line("level 40 5 0");
    expectBudget(29800, 7450);
    GameRecord.plyCount = 78;  // the last move before the control
    expectBudget(298000, 149000);
    GameRecord.plyCount = 0;
    line("level 0 5 0");
    line("time 250");
    expectBudget(0, 0);

    // Huge counts saturate instead of wrapping; negative ones mean none.
    line("st 9999999999");
    expectBudget(0xFFFFFFFFu, 0xFFFFFFFFu);
    line("level -40 0:30 99999999999");
    line("time 99999999999");
    EXPECT_EQ(movesPerSession, 0);
    expectBudget(0xFFFFFFFFu - 2000, (0xFFFFFFFFu - 2000) / 2);
    line("sd 99999999999");
    EXPECT_EQ(depthLimit, 64);
    line("time -5");
    EXPECT_EQ(engineClock, 0u);
}

TEST(Commands, PredictedMoveGoesBackOnlyWhileItIsOnTheRecord) {
    line("new");
    line("force");
    line("e2e4");
    // What the driver does before pondering on a predicted reply.
    auto ponderOn = [](const char* text) {
        ponderedMove = board::parseMoveText(text);
        ASSERT_TRUE(GameRecord.playMove(ponderedMove));
        pondering = 1;
        bestMove = 0x9999;
    };
    ponderOn("e7e5");
    EXPECT_EQ(line("d7d5"), 1);  // another reply: the prediction goes back
    EXPECT_EQ(GameRecord.plyCount, 2);
    EXPECT_EQ(GameRecord.moves[1], board::parseMoveText("d7d5"));
    EXPECT_EQ(bestMove, 0u);
    ponderOn("g1f3");
    EXPECT_EQ(line("g1f3"), 0);  // the predicted reply: the search goes on
    EXPECT_EQ(GameRecord.plyCount, 3);
    EXPECT_EQ(pondering, 0);

    // A refused move leaves the record and the ponder search alone.
    ponderOn("b8c6");
    EXPECT_EQ(line("e5e4"), 0);
    EXPECT_EQ(line("d1e8"), 0);
    EXPECT_EQ(pondering, 1);
    EXPECT_EQ(line("force"), 1);
    EXPECT_EQ(GameRecord.plyCount, 3);

    // Analysis raises the flag with nothing predicted: no take-back.
    analyzeMode = pondering = 1;
    ponderedMove = 0;
    EXPECT_EQ(line("g8f6"), 1);
    EXPECT_EQ(GameRecord.plyCount, 4);
    analyzeMode = 0;
    // A new game voids the prediction; nothing goes below the first position.
    ponderOn("b1c3");
    line("new");
    line("force");
    pondering = 1;
    line("remove");
    line("undo");
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(engineSide, 1);
}

TEST(Commands, NewPositionsVoidTheSearchResultAndBrokenOnesAreRefused) {
    line("new");
    line("e2e4");
    bestMove = 0x1234;
    EXPECT_EQ(line("?"), 0x1234);
    // A refused position changes nothing, so a running search may go on.
    EXPECT_EQ(line("setboard 4k3/8/8/8/8/8/8/K3R3 w - -"), 0);
    EXPECT_EQ(GameRecord.plyCount, 1);
    EXPECT_EQ(bestMove, 0x1234u);
    // An accepted one, or text that falls back, leaves no move to play.
    EXPECT_EQ(line("setboard 4k3/8/8/8/8/8/8/K3R3 b - -"), 1);
    EXPECT_EQ(bestMove, 0u);
    line("e8d8");
    bestMove = 0x1234;
    EXPECT_EQ(line("setboard nonsense"), 1);
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(bestMove, 0u);
    EXPECT_EQ(line("go"), 0);
    EXPECT_EQ(engineSide, 1);
}
