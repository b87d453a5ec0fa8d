#include "driver/time_budget.h"

#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/interface_state.h"
#include "search/limits.h"

namespace driver {

using search::fixedDepth;
using search::hardTimeLimit;
using search::stopMargin;
using search::targetTime;

namespace {

constexpr uint32_t MaxMs = 0xFFFFFFFFu;
// xboard: above the reserve plus this much, the clock is spent normally.
constexpr uint32_t LowClockSpan = 1000;
// A fixed time per move is answered a tenth early, at most this much, so that the
// move is on the interface's side of the line before the time is up even when the
// machine is busy.
constexpr uint32_t MaxFixedTimeMargin = 200;
// UCI without "movestogo": the moves still to play are guessed from the game's
// length, from this many at the start down to the floor below.
constexpr uint32_t MovesLeftAtStart = 50;
constexpr uint32_t MovesLeftFloor = 20;
// No more moves than these are counted to a time control: the last ones before a
// distant control must not starve the next.
constexpr uint32_t MaxMovesToGo = 50;

uint32_t saturate(uint64_t ms) { return ms > MaxMs ? MaxMs : uint32_t(ms); }

void setBudget(uint64_t hard, uint64_t target, uint32_t margin) {
    hardTimeLimit = saturate(hard);
    targetTime = saturate(target);
    stopMargin = margin;
}


// A fixed depth without a clock (analysis of a position, tests): no time limit.
bool depthWithoutClock() { return fixedDepth && !fixedMoveTime && !clockKnown; }

uint32_t timeReserve() { return EngineConfig.timeReserve < 0 ? 0 : uint32_t(EngineConfig.timeReserve); }

}  // namespace

// "st N": the whole time is the hard limit; the target lies far beyond it, so only
// the limit ends the search. The answer leaves a tenth early, up to 200 ms.
search::TimeBudget fixedTimeBudget(uint32_t ms) {
    const uint32_t margin = ms / 10 < MaxFixedTimeMargin ? ms / 10 : MaxFixedTimeMargin;
    return {ms, saturate(4ull * ms), margin};
}

uint32_t secondsTextToMs(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '-') return 0;
    if (*text == '+') ++text;
    uint64_t seconds = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (seconds < MaxMs) seconds = seconds * 10 + uint64_t(*text - '0');
    uint64_t ms = seconds * 1000;
    if (*text == '.') {
        uint64_t unit = 100;
        for (++text; *text >= '0' && *text <= '9'; ++text, unit /= 10) ms += uint64_t(*text - '0') * unit;
    }
    return saturate(ms);
}

void MoveLagWatch::answered(uint32_t clock, uint32_t increment, uint32_t spentMs, uint64_t gameKey, int plies) {
    const uint64_t expected = uint64_t(clock) + increment;
    expectedClock = expected > spentMs ? saturate(expected - spentMs) : 0;
    pendingKey = gameKey;
    pendingPlies = plies;
}

void MoveLagWatch::clockSeen(uint32_t clock, uint64_t keyThen, int plies) {
    const bool nextOwnMove = pendingPlies >= 0 && plies == pendingPlies + 2 && keyThen == pendingKey;
    pendingPlies = -1;
    if (!nextOwnMove || clock >= expectedClock) return;
    const uint32_t lag = expectedClock - clock;
    lags[nextLag] = lag < MaxLearnedMs ? lag : MaxLearnedMs;
    nextLag = (nextLag + 1) % Window;
}

uint32_t MoveLagWatch::overhead(uint32_t setting) const {
    uint32_t worst = 0;
    for (uint32_t lag : lags)
        if (lag > worst) worst = lag;
    const uint32_t learned = worst + worst / 2;
    return learned > setting ? learned : setting;
}

void computeTimeBudget() {
    if (uciMode) {
        computeUciTimeBudget();
        return;
    }
    if (fixedMoveTime) {
        const search::TimeBudget fixed = fixedTimeBudget(fixedMoveTime);
        setBudget(fixed.hardTimeLimit, fixed.targetTime, fixed.stopMargin);
        return;
    }
    if (depthWithoutClock()) {
        setBudget(MaxMs, MaxMs, 0);
        return;
    }
    // The reserve stays back for the interface and the pipes. A clock that short
    // is still spent when an increment comes back after every move, but only half
    // of it; without one, the engine answers as fast as it can.
    const uint32_t reserve = timeReserve();
    uint64_t remaining;
    if (uint64_t(engineClock) > uint64_t(reserve) + LowClockSpan)
        remaining = engineClock - reserve;
    else if (incrementMs > 0)
        remaining = engineClock / 2;
    else
        remaining = 1;

    uint64_t target = 0, hard = 0;
    if (movesPerSession > 0) {
        // Spread what is left over the moves to the next time control, keeping
        // half a share for each of the moves after this one.
        const uint64_t left = uint64_t(movesPerSession - (GameRecord.plyCount / 2) % movesPerSession);
        target = remaining / left;
        hard = 4 * target;
        remaining -= (target / 2) * (left - 1);
    } else {
        // Pondering wins back some of the time, so each move may take a little more.
        target = remaining / (ponderEnabled ? 40 : 48) + incrementMs / 2;
        hard = 4 * target;
    }
    if (hard > remaining) {
        hard = remaining;
        if (target > remaining / 2) target = remaining / 2;
    }
    setBudget(hard, target, 0);
}

void computeUciTimeBudget() {
    const uint32_t overhead = UciMoveLag.overhead(uciMoveOverhead);
    if (fixedMoveTime) {
        // "movetime": the overhead comes off the time, but at least half is searched.
        const uint32_t hard = fixedMoveTime > 2 * overhead ? fixedMoveTime - overhead : fixedMoveTime / 2;
        setBudget(hard, 4ull * hard, 0);
        return;
    }
    if (!clockKnown) {
        // "go depth N", or nothing at all: no clock to keep.
        setBudget(MaxMs, MaxMs, 0);
        return;
    }
    uint64_t movesLeft;
    if (movesToGo > 0) {
        movesLeft = uint64_t(movesToGo) < MaxMovesToGo ? uint64_t(movesToGo) : MaxMovesToGo;
    } else {
        const uint64_t played = uint64_t(GameRecord.plyCount / 2);
        movesLeft = played / 2 + MovesLeftFloor < MovesLeftAtStart ? MovesLeftAtStart - played / 2 : MovesLeftFloor;
    }
    // Every move costs the interface's overhead besides the search, and the
    // increment comes back after each: this move gets its share of what the clock
    // and the increments of the moves to go hold once each move's overhead is paid.
    // Charged per move, the overhead keeps a short clock from draining away.
    const int64_t pool = int64_t(engineClock) + int64_t(incrementMs) * int64_t(movesLeft - 1) -
                         int64_t(overhead) * int64_t(movesLeft + 1);
    uint64_t target = pool > 0 ? uint64_t(pool) / movesLeft : 0;
    uint64_t hard = 4 * target;
    // Never more than the clock holds: while more moves follow before time comes
    // back, half of it at most. Before a time control the moves to go share it:
    // one long search may take three parts in the moves to go plus three, so that a
    // run of difficult moves just before the control (each searched to its hard
    // limit) still leaves the last of them something; on the last move that is
    // three quarters.
    const uint64_t available = engineClock > overhead ? engineClock - overhead : 0;
    uint64_t cap = movesLeft > 1 ? available / 2 : available * 3 / 4;
    if (movesToGo > 0 && available * 3 / (movesLeft + 3) < cap) cap = available * 3 / (movesLeft + 3);
    if (hard > cap) hard = cap;
    if (target > hard / 2) target = hard / 2;
    setBudget(hard, target, 0);
}

}  // namespace driver
