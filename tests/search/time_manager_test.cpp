// The time layer's decisions, with the clock set back by hand: elapsed time is
// made, not waited for.
#include "search/time_manager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/log.h"
#include "base/platform.h"
#include "board/position_record.h"
#include "driver/interface_state.h"
#include "driver/protocol.h"
#include "search/limits.h"
#include "support/temp_dir.h"

using namespace search;

namespace {

class TimeLayer : public ::testing::Test {
protected:
    void SetUp() override {
        analyzeMode = pondering = fixedDepth = driver::fritzMode = driver::postEnabled = 0;
        targetTime = 10000;
        currentScore = previousScore = 0;
        easyMove = bestMove = ponderMove = 0;
        iterationDepth = 6;
        elapsed(0);
    }
    static void elapsed(uint32_t ms) { searchStartTick = platform::tickMs() - ms; }
};

const board::Move E2E4 = board::parseMoveText("e2e4"), E7E5 = board::parseMoveText("e7e5");

}  // namespace

TEST_F(TimeLayer, NewIterationsOnlyWhileTheScoreHoldsAndTimeRemains) {
    // Iterations 1 to 5 always start.
    elapsed(50000);
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(mayStartIteration(i)) << i;
    // Past half the target with the score holding: stop.
    elapsed(6000);
    EXPECT_TRUE(mayStartIteration(6));
    // A score 30 below the reference buys time, up to twice the target.
    currentScore = -30;
    previousScore = 0;
    EXPECT_FALSE(mayStartIteration(6));
    previousScore = 0;  // the iteration start copied the score across
    currentScore = -30;
    elapsed(21000);
    EXPECT_TRUE(mayStartIteration(7));
    // A fixed depth ends the search after that iteration, whatever the clock says.
    fixedDepth = 4;
    elapsed(0);
    EXPECT_FALSE(mayStartIteration(4));
    EXPECT_TRUE(mayStartIteration(5));
}

TEST_F(TimeLayer, RootMovesAndReportsWithinTheTarget) {
    elapsed(12000);  // past the target
    currentScore = 10;
    previousScore = 0;
    EXPECT_TRUE(mayStartMove(E2E4, 3, 20));
    EXPECT_EQ(rootMovesSearched, 4);
    currentScore = -25;  // dropped: keep searching until twice the target
    EXPECT_FALSE(mayStartMove(E2E4, 3, 20));
    elapsed(21000);
    EXPECT_FALSE(mayStartMove(E2E4, 3, 20));
    currentScore = -15;
    EXPECT_TRUE(mayStartMove(E2E4, 3, 20));

    // A fail low never stops the search by itself; an exact report past the target does.
    const board::Move line[] = {E2E4, E7E5, 0};
    elapsed(12000);
    previousScore = 0;
    EXPECT_FALSE(reportRootResult(-200, UpdateFailLow, line));
    EXPECT_TRUE(reportRootResult(5, UpdateExact, line));
    EXPECT_EQ(bestMove, E2E4);
    EXPECT_EQ(ponderMove, E7E5);
    EXPECT_EQ(currentScore, 5);
    // Pondering and analysis leave the clock alone.
    pondering = 1;
    EXPECT_FALSE(reportRootResult(5, UpdateExact, line));
    EXPECT_FALSE(mayStartMove(E2E4, 3, 20));
}

TEST_F(TimeLayer, EasyMoveStopsEarlyOnlyWhileItStaysBest) {
    easyMove = E2E4;
    bestMove = E2E4;
    elapsed(2000);  // more than an eighth of the target
    EXPECT_TRUE(mayStartIteration(6));
    // Once another move is best the easy move is dropped for good.
    bestMove = E7E5;
    EXPECT_FALSE(mayStartIteration(6));
    EXPECT_EQ(easyMove, 0u);
}

TEST_F(TimeLayer, ThinkingLinesInTheirExactFormat) {
    const board::Move line[] = {E2E4, E7E5, 0};
    driver::installSearchHooks();  // the interface prints what the time layer reports
    driver::postEnabled = 1;
    iterationDepth = 6;
    recordedNodes = 5000000000ULL;  // past 32 bits
    elapsed(1500);
    ::testing::internal::CaptureStdout();
    reportRootResult(25, UpdateExact, line);
    std::string out = ::testing::internal::GetCapturedStdout();
    // Depth, score, centiseconds (about 150), nodes past 32 bits, then the line.
    int centis = 0;
    ASSERT_EQ(std::sscanf(out.c_str(), "6 25 %d ", &centis), 1) << out;
    EXPECT_GE(centis, 150);
    EXPECT_LT(centis, 160);
    EXPECT_EQ(out, "6 25 " + std::to_string(centis) + " 5000000000 e2e4 e7e5\n");

    // Within the first second nothing is printed, unless the line changes while
    // fritz or analysis mode asks for every change.
    elapsed(0);
    ::testing::internal::CaptureStdout();
    reportRootResult(30, UpdateExact, line);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    driver::fritzMode = 1;
    const board::Move other[] = {E7E5, 0};
    ::testing::internal::CaptureStdout();
    reportRootResult(-30, UpdateFailLow, other);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().substr(0, 6), "6 -30 ");
}
