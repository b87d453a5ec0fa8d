// The command interpreter and the time budget, called in-process on single lines.
#include "driver/protocol.h"

#include <gtest/gtest.h>

#include "board/position_record.h"
#include "driver/game_record.h"
#include "driver/search_control.h"

using board::parseMoveText;
using driver::GameRecord;
using driver::handleCommandLine;

namespace {

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace driver;
        forceMode = waitingForOpponent = 1;
        engineSide = ponderEnabled = postEnabled = analyzeMode = fritzMode = pondering = 0;
        movesPerSession = depthLimit = 0;
        incrementMs = fixedMoveTime = engineClock = opponentClock = 0;
        ponderedMove = bestMove = ponderMove = easyMove = 0;
        iterationDepth = currentScore = previousScore = lastRootUpdateKind = 0;
        handleCommandLine("new");
    }
    static void budget(uint32_t hard, uint32_t target) {
        driver::computeTimeBudget();
        EXPECT_EQ(driver::hardTimeLimit, hard);
        EXPECT_EQ(driver::targetTime, target);
    }
};

}  // namespace

TEST_F(Commands, TimeBudgetFromTheClockAndTheTimeControl) {
    handleCommandLine("st 5");
    budget(5000, 20000);

    handleCommandLine("st 0");
    handleCommandLine("time 30000");
    EXPECT_EQ(driver::engineClock, 300000u);
    budget(24832, 6208);
    handleCommandLine("hard");
    budget(29800, 7450);
    handleCommandLine("easy");

    handleCommandLine("level 40 5 0");
    budget(29800, 7450);
    GameRecord.plyCount = 78;  // 39 moves played: this is the last before the control
    budget(298000, 149000);
    GameRecord.plyCount = 0;

    handleCommandLine("level 0 5 0");
    handleCommandLine("time 250");
    budget(0, 0);

    // A fixed depth leaves the budget alone.
    handleCommandLine("sd 4");
    handleCommandLine("time 90000");
    budget(0, 0);
}

TEST_F(Commands, TimeControlsParseAndAbsurdNumbersStayInRange) {
    handleCommandLine("sd 6");
    handleCommandLine("level 40 5 0");
    EXPECT_EQ(driver::movesPerSession, 40);
    EXPECT_EQ(driver::incrementMs, 0u);
    EXPECT_EQ(driver::depthLimit, 0);
    handleCommandLine("level 0 2 12");
    EXPECT_EQ(driver::movesPerSession, 0);
    EXPECT_EQ(driver::incrementMs, 12000u);
    handleCommandLine("level 0 0:30 2.5");
    EXPECT_EQ(driver::incrementMs, 2000u);
    handleCommandLine("level 30");  // no blank after the move count: only the resets
    EXPECT_EQ(driver::movesPerSession, 0);
    handleCommandLine("sd 6");
    handleCommandLine("st 10");
    EXPECT_EQ(driver::depthLimit, 0);
    handleCommandLine("sd 6");
    EXPECT_EQ(driver::fixedMoveTime, 10000u);
    EXPECT_EQ(driver::depthLimit, 6);
    handleCommandLine("otim 6000");
    EXPECT_EQ(driver::opponentClock, 60000u);

    // Negative counts mean nothing, huge ones saturate instead of wrapping.
    handleCommandLine("time -500");
    EXPECT_EQ(driver::engineClock, 0u);
    handleCommandLine("otim 99999999999999999999999");
    EXPECT_EQ(driver::opponentClock, 0xFFFFFFFFu);
    handleCommandLine("sd -3");
    EXPECT_EQ(driver::depthLimit, 0);
    handleCommandLine("sd 99999999999");
    EXPECT_EQ(driver::depthLimit, 64);
    handleCommandLine("sd ");
    EXPECT_EQ(driver::depthLimit, 0);
    handleCommandLine("st -4");
    EXPECT_EQ(driver::fixedMoveTime, 0u);
    handleCommandLine("st 9999999999");
    budget(0xFFFFFFFFu, 0xFFFFFFFFu);
    handleCommandLine("level -40 5 -3");
    EXPECT_EQ(driver::movesPerSession, 0);
    EXPECT_EQ(driver::incrementMs, 0u);

    // The largest clock and increment: the hard limit stays within the clock and
    // above the target.
    handleCommandLine("level 0 5 99999999999");
    handleCommandLine("time 99999999999");
    driver::computeTimeBudget();
    EXPECT_EQ(driver::hardTimeLimit, 0xFFFFFFFFu - 2000);
    EXPECT_EQ(driver::targetTime, (0xFFFFFFFFu - 2000) / 2);
    handleCommandLine("level 1000000 5 0");
    driver::computeTimeBudget();
    EXPECT_GT(driver::targetTime, 0u);
    EXPECT_LE(driver::targetTime, driver::hardTimeLimit);
}

TEST_F(Commands, PredictedMoveGoesBackOnlyWhileItIsOnTheRecord) {
    using namespace driver;
    handleCommandLine("force");
    EXPECT_EQ(handleCommandLine("e2e4"), 1);

    // The driver ponders on e7e5; the opponent plays d7d5 instead.
    auto ponderOn = [](const char* text) {
        ponderedMove = parseMoveText(text);
        ASSERT_TRUE(GameRecord.playMove(ponderedMove));
        pondering = 1;
        bestMove = ponderMove = 0x9999;
    };
    ponderOn("e7e5");
    EXPECT_EQ(handleCommandLine("d7d5"), 1);
    EXPECT_EQ(GameRecord.plyCount, 2);
    EXPECT_EQ(GameRecord.moves[1], parseMoveText("d7d5"));
    EXPECT_EQ(pondering, 0);
    EXPECT_EQ(bestMove, 0u);

    // The right prediction: the search goes on (it has not reached iteration 2).
    ponderOn("g1f3");
    EXPECT_EQ(handleCommandLine("g1f3"), 0);
    EXPECT_EQ(GameRecord.plyCount, 3);
    EXPECT_EQ(pondering, 0);
    EXPECT_EQ(bestMove, 0x9999u);

    // A refused move leaves the record and the ponder search as they were.
    ponderOn("b8c6");
    EXPECT_EQ(handleCommandLine("e5e4"), 0);  // nothing stands on e5
    EXPECT_EQ(handleCommandLine("d1e8"), 0);  // would take the king
    EXPECT_EQ(GameRecord.plyCount, 4);
    EXPECT_EQ(pondering, 1);
    EXPECT_EQ(handleCommandLine("force"), 1);  // takes the prediction back
    EXPECT_EQ(GameRecord.plyCount, 3);

    // Analysis raises the flag with nothing predicted: the move is simply played.
    analyzeMode = pondering = 1;
    ponderedMove = 0;
    EXPECT_EQ(handleCommandLine("g8f6"), 1);
    EXPECT_EQ(GameRecord.plyCount, 4);
    analyzeMode = 0;

    // A new game voids the prediction: no take-back below the first position.
    ponderOn("b1c3");
    handleCommandLine("new");
    EXPECT_EQ(handleCommandLine("force"), 1);
    EXPECT_EQ(GameRecord.plyCount, 0);
    pondering = 1;
    handleCommandLine("remove");
    handleCommandLine("undo");
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(engineSide, 1);  // the side not to move at the start
    EXPECT_EQ(handleCommandLine("e2e4"), 1);
    EXPECT_EQ(GameRecord.plyCount, 1);
}

TEST_F(Commands, NewPositionsVoidTheSearchResultAndBrokenOnesAreRefused) {
    using namespace driver;
    EXPECT_EQ(handleCommandLine("?"), 0);
    bestMove = 0x1234;
    EXPECT_EQ(handleCommandLine("?"), 0x1234);

    // An opponent's move voids the search result as well.
    EXPECT_EQ(handleCommandLine("e2e4"), 1);
    EXPECT_EQ(bestMove, 0u);

    // A refused position changes nothing, so a running search may go on.
    bestMove = 0x1234;
    EXPECT_EQ(handleCommandLine("setboard 4k3/8/8/8/8/8/8/3KK3 w - -"), 0);
    EXPECT_EQ(handleCommandLine("setboard 4k3/8/8/8/8/8/8/K3R3 w - -"), 0);
    EXPECT_EQ(GameRecord.plyCount, 1);
    EXPECT_EQ(bestMove, 0x1234u);

    // An accepted one leaves no move of the old position to play.
    ponderMove = 0x55;
    EXPECT_EQ(handleCommandLine("setboard 4k3/8/8/8/8/8/8/K3R3 b - -"), 1);
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(GameRecord.current().squares[4], 'R');
    EXPECT_EQ(bestMove, 0u);
    EXPECT_EQ(ponderMove, 0u);

    // Text that does not parse falls back to the start of the current game.
    handleCommandLine("e8d8");
    bestMove = 0x1234;
    EXPECT_EQ(handleCommandLine("setboard nonsense"), 1);
    EXPECT_EQ(GameRecord.plyCount, 0);
    EXPECT_EQ(bestMove, 0u);

    // Game state commands.
    EXPECT_EQ(handleCommandLine("go"), 0);
    EXPECT_EQ(engineSide, 1);
    EXPECT_EQ(forceMode, 0);
    EXPECT_EQ(waitingForOpponent, 0);
    EXPECT_EQ(handleCommandLine("result 1-0 {White mates}"), 1);
    EXPECT_EQ(handleCommandLine("analyze"), 1);
    EXPECT_EQ(analyzeMode, 1);
    EXPECT_EQ(handleCommandLine("exit"), 1);
    EXPECT_EQ(analyzeMode, 0);
}
