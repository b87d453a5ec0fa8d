// The command interpreter and the time budget, called in-process on single lines.
#include "driver/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/platform.h"
#include "board/position_record.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/interface_state.h"
#include "search/limits.h"
#include "search/time_manager.h"
#include "driver/time_budget.h"

using namespace driver;
using search::analyzeMode;
using search::bestMove;
using search::fixedDepth;
using search::hardTimeLimit;
using search::iterationDepth;
using search::pondering;
using search::ponderMove;
using search::searchStartTick;
using search::targetTime;

namespace {

int line(const char* text) { return handleCommandLine(text); }

// The hard limit and the target after the given commands.
void expectBudget(uint32_t hard, uint32_t target, std::initializer_list<const char*> commands = {}) {
    for (const char* command : commands) line(command);
    computeTimeBudget();
    EXPECT_EQ(hardTimeLimit, hard) << (commands.size() ? *commands.begin() : "");
    EXPECT_EQ(targetTime, target) << (commands.size() ? *commands.begin() : "");
}

}  // namespace

TEST(Commands, TimeBudgetFromTheClockAndTheTimeControl) {
    expectBudget(5000, 20000, {"st 5"});
    expectBudget(24832, 6208, {"level 0 5 0", "time 30000"});  // the level ends the fixed time
    expectBudget(29800, 7450, {"hard"});
    expectBudget(29800, 7450, {"easy", "level 40 5 0"});
    GameRecord.plyCount = 78;  // the last move before the control
    expectBudget(298000, 149000);
    GameRecord.plyCount = 0;
    expectBudget(0, 0, {"level 0 5 0", "time 250"});

    // Huge counts saturate instead of wrapping; negative ones mean none.
    expectBudget(0xFFFFFFFFu, 0xFFFFFFFFu, {"st 9999999999"});
    expectBudget(0xFFFFFFFFu - 2000, (0xFFFFFFFFu - 2000) / 2,
                 {"level -40 0:30 99999999999", "time 99999999999"});
    EXPECT_EQ(movesPerSession, 0);
    line("sd 99999999999");
    EXPECT_EQ(fixedDepth, 64);
    line("time -5");
    EXPECT_EQ(engineClock, 0u);
}

// Past the figures above: the clock spent where time comes back, fractional
// increments, a depth that keeps to the clock, and the fixed time answered early.
TEST(Commands, TimeBudgetOnShortClocksAndMixedLimits) {
    line("new");
    // An interface's fractional increment is read to the millisecond.
    line("level 0 0:02 0.02");
    EXPECT_EQ(incrementMs, 20u);
    line("level 0 0 2.5");
    EXPECT_EQ(incrementMs, 2500u);

    // Two seconds added every move, two on the clock: half of it may go.
    expectBudget(1000, 500, {"level 0 0 2", "time 200"});
    // A short clock is spent only where an increment comes back.
    expectBudget(120, 30, {"level 0 0:02 0.02", "time 200"});
    expectBudget(0, 0, {"level 40 1 0", "time 250"});

    // Whatever the clock and control, the hard limit stays inside the clock: above
    // the reserve by it, below it by half.
    for (const char* level : {"level 0 0 0.02", "level 0 0 1", "level 0 0 30", "level 40 0 0", "level 2 0 5"}) {
        line(level);
        for (uint32_t clock = 0; clock < 200000; clock = clock * 3 / 2 + 7) {
            engineClock = clock;
            computeTimeBudget();
            const uint32_t bound = clock > 3000 ? clock - 2000 : clock / 2 > 1 ? clock / 2 : 1;
            EXPECT_LE(hardTimeLimit, bound) << level << " clock " << clock;
            EXPECT_LE(targetTime, hardTimeLimit) << level << " clock " << clock;
        }
    }

    // A smaller reserve for fast games.
    EngineConfig.timeReserve = 200;
    expectBudget(188, 47, {"level 0 0:02 0.02", "time 200"});
    EngineConfig.timeReserve = 2000;

    // "sd" with a clock keeps the clock's hard limit, and the poll enforces it.
    expectBudget(164, 41, {"level 0 1 0", "sd 12", "time 400"});
    commandsDuringSearch = 0;
    iterationDepth = 2;
    searchStartTick = platform::tickMs() - 200;
    EXPECT_EQ(search::pollSearch(0), 1);
    // Without a clock a fixed depth has no time limit.
    expectBudget(0xFFFFFFFFu, 0xFFFFFFFFu, {"new", "sd 12"});
    EXPECT_EQ(search::pollSearch(0), 0);

    // "st 1" stops a little early, so that the move arrives within the second.
    expectBudget(1000, 4000, {"st 1"});
    searchStartTick = platform::tickMs() - 920;
    EXPECT_EQ(search::pollSearch(0), 1);
    searchStartTick = platform::tickMs() - 860;
    EXPECT_EQ(search::pollSearch(0), 0);
    commandsDuringSearch = 1;
    iterationDepth = 0;
}

TEST(Commands, UciBudgetSpendsTheClockWithoutACliff) {
    line("new");
    uciMode = 1;
    clockKnown = 1;
    uciMoveOverhead = DefaultMoveOverheadMs;
    fixedDepth = 0;
    fixedMoveTime = 0;
    incrementMs = 20;
    movesToGo = 0;
    engineClock = 2000;
    // 2000 ms and 49 increments less 51 overheads, over 50 moves.
    expectBudget(196, 49);
    // The last move before the control may use three quarters of what is left.
    movesToGo = 1;
    incrementMs = 0;
    expectBudget(1492, 746);
    // 40 moves in a minute: the moves to go share the hard limit too.
    movesToGo = 40;
    engineClock = 60000;
    expectBudget(4185, 1489);
    // A fixed time per move loses the overhead.
    fixedMoveTime = 100;
    expectBudget(90, 360);
    fixedMoveTime = 0;

    // 1 s + 0.01 s with 5 ms lost to the pipes at every move, each search as long
    // as its target: the clock settles well above the overhead instead of draining.
    movesToGo = 0;
    incrementMs = 10;
    engineClock = 1000;
    uint32_t least = engineClock;
    for (int move = 0; move < 150; ++move) {
        GameRecord.plyCount = 2 * move;
        computeTimeBudget();
        engineClock = engineClock - targetTime - 5 + incrementMs;
        least = std::min(least, engineClock);
    }
    GameRecord.plyCount = 0;
    EXPECT_GE(least, 100u);

    // Never past the clock minus the overhead, nor past half of it while more
    // moves follow before time comes back.
    for (int togo : {0, 1, 2, 40})
        for (uint32_t increment : {0u, 10u, 100u, 2000u})
            for (uint32_t clock = 0; clock < 400000; clock = clock * 3 / 2 + 5) {
                movesToGo = togo;
                incrementMs = increment;
                engineClock = clock;
                computeTimeBudget();
                const uint32_t available = clock > DefaultMoveOverheadMs ? clock - DefaultMoveOverheadMs : 0;
                EXPECT_LE(hardTimeLimit, togo == 1 ? available * 3 / 4 : available / 2) << clock << " " << togo;
                if (togo > 0) {
                    EXPECT_LE(hardTimeLimit, available * 3 / (togo + 3)) << clock << " " << togo;
                }
                EXPECT_LE(targetTime, hardTimeLimit);
                // A clock that holds something is spent, not played away at once.
                if (clock > 1000) {
                    EXPECT_GE(targetTime, 5u) << clock;
                }
            }
    // "go depth" without a clock: no limit.
    clockKnown = 0;
    fixedDepth = 8;
    expectBudget(0xFFFFFFFFu, 0xFFFFFFFFu);
    fixedDepth = 0;
    movesToGo = 0;
    incrementMs = 0;
    uciMode = 0;
}

// The interface's cost per move comes from its clocks: what the clock should have
// been after the engine's answer and the increment, against what the next "go" says.
TEST(Commands, MoveOverheadLearnsWhatTheInterfaceCosts) {
    MoveLagWatch watch;
    EXPECT_EQ(watch.overhead(10), 10u);
    // 1000 ms + 10 ms, answered in 20 ms: 990 expected, 965 sent, 25 ms lost.
    watch.answered(1000, 10, 20, 0xABC, 6);
    watch.clockSeen(965, 0xABC, 8);
    EXPECT_EQ(watch.overhead(10), 37u);
    EXPECT_EQ(watch.overhead(50), 50u);
    // Only the engine's next move in the same game counts: another game, another
    // position at that ply, or a clock that grew (a control came back) teach nothing.
    watch.answered(1000, 0, 0, 0xABC, 10);
    watch.clockSeen(100, 0xDEF, 12);
    watch.answered(1000, 0, 0, 0xABC, 10);
    watch.clockSeen(100, 0xABC, 14);
    watch.answered(1000, 0, 0, 0xABC, 10);
    watch.clockSeen(61000, 0xABC, 12);
    watch.answered(1000, 0, 0, 0xABC, 10);
    watch.forgetAnswer();
    watch.clockSeen(100, 0xABC, 12);
    EXPECT_EQ(watch.overhead(10), 37u);
    // A stall far beyond any interface's cost is taken at the cap only, and old
    // lags leave the window after as many moves as it holds.
    watch.answered(5000, 0, 0, 1, 20);
    watch.clockSeen(1000, 1, 22);
    EXPECT_EQ(watch.overhead(0), MoveLagWatch::MaxLearnedMs * 3 / 2);
    for (int move = 0; move < MoveLagWatch::Window; ++move) {
        watch.answered(1000, 10, 5, 2, 30 + 2 * move);
        watch.clockSeen(1001, 2, 32 + 2 * move);
    }
    EXPECT_EQ(watch.overhead(0), 6u);

    // The engine's own budget charges the learned cost: 1 s + 0.01 with 25 ms lost
    // per move leaves nothing to search beyond the increment's worth.
    line("new");
    uciMode = 1;
    clockKnown = 1;
    incrementMs = 10;
    movesToGo = 0;
    engineClock = 1000;
    uciMoveOverhead = DefaultMoveOverheadMs;
    computeTimeBudget();
    const uint32_t before = targetTime;
    UciMoveLag.answered(1000, 10, 20, 7, 0);
    UciMoveLag.clockSeen(965, 7, 2);
    computeTimeBudget();
    EXPECT_LT(targetTime, before);
    UciMoveLag = {};
    incrementMs = 0;
    uciMode = 0;
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
