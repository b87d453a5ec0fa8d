#include "search/time_manager.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "board/position_record.h"
#include "driver/game_record.h"
#include "driver/protocol.h"
#include "driver/search_control.h"
#include "driver/uci.h"

namespace search {

using driver::GameRecord;

namespace {

uint32_t elapsedMs() { return platform::tickMs() - driver::searchStartTick; }

// Pondering, analysis and a fixed depth leave the clock alone.
bool timeChecksOff() { return driver::analyzeMode || driver::pondering || driver::depthLimit; }

}  // namespace

void setNodeCount(uint64_t nodes) { driver::nodeCount = nodes; }

bool mayStartIteration(int iteration) {
    driver::rootMovesSearched = 0;
    if (!driver::analyzeMode) {
        if (driver::depthLimit && iteration > driver::depthLimit) return true;
        if (!timeChecksOff() && iteration >= 6) {
            const uint32_t elapsed = elapsedMs(), target = driver::targetTime;
            const int score = driver::currentScore, previous = driver::previousScore;
            // Past half the budget a new iteration rarely finishes: stop while the
            // score holds, or when the budget is spent anyway.
            if (elapsed > target / 2 &&
                (score >= previous || (score >= previous - 20 && elapsed > target) || elapsed > 2 * target))
                return true;
            // An obvious recapture that is still best needs little thought.
            if (driver::easyMove && driver::easyMove != driver::bestMove) {
                base::logLine("Loss CoupSpeed");
                driver::easyMove = 0;
            }
            if (driver::easyMove && driver::easyMove == driver::bestMove && score >= previous - 20 &&
                elapsed > target / 8) {
                base::logLine("Speed");
                return true;
            }
        }
    }
    driver::iterationDepth = iteration;
    if (driver::previousScore < board::MateBound) driver::previousScore = driver::currentScore;
    return false;
}

bool mayStartMove(board::Move /*move*/, int index, int /*count*/) {
    driver::rootMovesSearched = index + 1;
    if (timeChecksOff() || driver::iterationDepth < 2) return false;
    const uint32_t elapsed = elapsedMs();
    if (elapsed <= driver::targetTime) return false;
    const int score = driver::currentScore, previous = driver::previousScore;
    return score > previous || (score > previous - 20 && elapsed > 2 * driver::targetTime);
}

bool reportRootResult(int score, int kind, const board::Move* line) {
    bool changed = false;
    const board::Move first = line[0] & board::MoveIdentity;
    const board::Move second = first ? line[1] & board::MoveIdentity : 0;
    if (first != driver::bestMove || second != driver::ponderMove) {
        driver::bestMove = first;
        driver::ponderMove = second;
        changed = driver::fritzMode || driver::analyzeMode;
    }
    driver::currentScore = score;
    driver::lastRootUpdateKind = kind;

    const uint32_t elapsed = elapsedMs();
    if (driver::uciMode) {
        driver::sendUciInfo(score, kind, line);
    } else if (driver::postEnabled && (elapsed > 1000 || changed)) {
        // depth, score, centiseconds, nodes, then the line in coordinate moves.
        char text[512];
        int length = std::snprintf(text, sizeof text, "%d %d %u %" PRId64 " ", driver::iterationDepth, score,
                                   elapsed / 10, int64_t(driver::nodeCount));
        for (int i = 0; line[i] && length < int(sizeof text) - 8; ++i)
            length += std::snprintf(text + length, sizeof text - size_t(length), i ? " %s" : "%s",
                                    board::moveToText(line[i]));
        driver::sendLine(text);
        base::logLine(text);
    }

    if (timeChecksOff() || driver::iterationDepth < 2 || kind == UpdateFailLow || score < driver::previousScore)
        return false;
    return elapsed > driver::targetTime;
}

void setEasyMove(board::Move move) {
    driver::easyMove = move;
    if (!move) return;
    driver::easyMove = GameRecord.isRecapture(move);
    if (driver::easyMove) {
        char text[64];
        std::snprintf(text, sizeof text, "SpeedMove : %s", board::moveToText(move));
        base::logLine(text);
    }
}

}  // namespace search
