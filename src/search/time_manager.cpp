#include "search/time_manager.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "board/position_record.h"
#include "search/limits.h"

namespace search {

namespace {

uint32_t elapsedMs() { return platform::tickMs() - searchStartTick; }

// Pondering, analysis and a fixed depth leave the clock alone.
bool timeChecksOff() { return analyzeMode || pondering || fixedDepth; }

}  // namespace

void setNodeCount(uint64_t nodes) { recordedNodes = nodes; }

bool mayStartIteration(int iteration) {
    rootMovesSearched = 0;
    if (!analyzeMode) {
        if (fixedDepth && iteration > fixedDepth) return true;
        if (!timeChecksOff() && iteration >= 6) {
            const uint32_t elapsed = elapsedMs(), target = targetTime;
            const int score = currentScore, previous = previousScore;
            // Past half the budget a new iteration rarely finishes: stop while the
            // score holds, or when the budget is spent anyway.
            if (elapsed > target / 2 &&
                (score >= previous || (score >= previous - 20 && elapsed > target) || elapsed > 2 * target))
                return true;
            // An obvious recapture that is still best needs little thought.
            if (easyMove && easyMove != bestMove) {
                base::logLine("Loss CoupSpeed");
                easyMove = 0;
            }
            if (easyMove && easyMove == bestMove && score >= previous - 20 && elapsed > target / 8) {
                base::logLine("Speed");
                return true;
            }
        }
    }
    iterationDepth = iteration;
    if (previousScore < board::MateBound) previousScore = currentScore;
    return false;
}

bool mayStartMove(board::Move /*move*/, int index, int /*count*/) {
    rootMovesSearched = index + 1;
    if (timeChecksOff() || iterationDepth < 2) return false;
    const uint32_t elapsed = elapsedMs();
    if (elapsed <= targetTime) return false;
    const int score = currentScore, previous = previousScore;
    return score > previous || (score > previous - 20 && elapsed > 2 * targetTime);
}

bool reportRootResult(int score, int kind, const board::Move* line) {
    bool lineChanged = false;
    const board::Move first = line[0] & board::MoveIdentity;
    const board::Move second = first ? line[1] & board::MoveIdentity : 0;
    if (first != bestMove || second != ponderMove) {
        bestMove = first;
        ponderMove = second;
        lineChanged = true;
    }
    currentScore = score;
    lastRootUpdateKind = kind;

    const uint32_t elapsed = elapsedMs();
    Interface.rootLine(score, kind, line, lineChanged, elapsed);

    if (timeChecksOff() || iterationDepth < 2 || kind == UpdateFailLow || score < previousScore) return false;
    return elapsed > targetTime;
}

void setEasyMove(board::Move recapture) {
    easyMove = recapture;
    if (!recapture) return;
    char text[64];
    std::snprintf(text, sizeof text, "SpeedMove : %s", board::moveToText(recapture));
    base::logLine(text);
}

int pollSearch(uint64_t nodes) {
    recordedNodes = nodes;
    if (Interface.readCommands() != 0) return 1;
    // A fixed depth still keeps to a known clock (the driver's budget leaves no
    // limit without one): a game is not to be lost on time for it.
    if (analyzeMode || pondering || iterationDepth < 2) return 0;
    const uint64_t elapsed = platform::tickMs() - searchStartTick;
    return elapsed + stopMargin >= hardTimeLimit ? 1 : 0;
}

void formatThinkingLine(char* text, size_t size, int score, const board::Move* line, uint32_t elapsedMs) {
    // depth, score, centiseconds, nodes, then the line in coordinate moves.
    int length = std::snprintf(text, size, "%d %d %u %" PRId64 " ", iterationDepth, score, elapsedMs / 10,
                               int64_t(recordedNodes));
    for (int i = 0; line[i] && length < int(size) - 8; ++i)
        length += std::snprintf(text + length, size - size_t(length), i ? " %s" : "%s", board::moveToText(line[i]));
}

void printThinkingLine(int score, int /*kind*/, const board::Move* line, bool lineChanged, uint32_t elapsedMs) {
    if (elapsedMs <= 1000 && !lineChanged) return;
    char text[512];
    formatThinkingLine(text, sizeof text, score, line, elapsedMs);
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    base::logLine(text);
}

}  // namespace search
