// How long the engine may think about one move. Two figures come out of the clock
// and the time control: the soft target that the time layer weighs before new
// iterations and root moves, and the hard limit at which the poll stops the search.
//
// xboard keeps a reserve (TIME_RESERVE) back for the interface and the pipes; UCI
// keeps the interface's "Move Overhead" instead and spreads the clock over the
// moves to go without a low-clock cliff.
#pragma once
#include <cstdint>

#include "search/limits.h"

namespace driver {

// Sets hardTimeLimit, targetTime and stopMargin of search/limits.h for the search
// about to start (or, after a ponder hit, the search going on) from the clock and
// the time control.
void computeTimeBudget();

// The xboard budget of a fixed time per move ("st"), also for the tools' searches
// of a position (search::SearchLimits).
search::TimeBudget fixedTimeBudget(uint32_t ms);

// The UCI budget alone, whatever the protocol (the xboard one is the default).
void computeUciTimeBudget();

// What the interface costs per move beyond the engine's own thinking, read from the
// clocks a UCI interface sends: the clock of one "go" plus its increment, less the
// time the engine took to answer, against the clock of the next "go" of the same
// game. Pipes, the interface's own work and a busy machine all show up there; the
// "Move Overhead" option is only a floor. The engine plays from the largest of the
// recent losses with half again as margin.
class MoveLagWatch {
public:
    // A timed search that began with this clock and increment answered after
    // spentMs; gameKey identifies the position it was asked about, plies into the game.
    void answered(uint32_t clock, uint32_t increment, uint32_t spentMs, uint64_t gameKey, int plies);
    // The next "go" brings this clock; keyThen is the game's position at the ply of
    // the last answer (0 when the game is shorter). Only the clock of the engine's
    // next move in the same game is compared; a clock that grew (a time control
    // came back) says nothing.
    void clockSeen(uint32_t clock, uint64_t keyThen, int plies);
    // The last answer is not to be compared (a ponder or infinite search, a new game).
    void forgetAnswer() { pendingPlies = -1; }
    // The overhead to charge each move: the setting or what the clocks showed.
    uint32_t overhead(uint32_t setting) const;

    static constexpr int Window = 8;           // the recent moves that count
    static constexpr uint32_t MaxLearnedMs = 200;  // a lag past this is no interface's cost

private:
    uint32_t expectedClock = 0;
    uint64_t pendingKey = 0;
    int pendingPlies = -1;
    uint32_t lags[Window] = {};
    int nextLag = 0;
};

inline constinit MoveLagWatch UciMoveLag{};

// "0.1", "2", "0.025": seconds as interfaces write an increment, in milliseconds;
// digits past the millisecond are dropped, values past the tick range saturate.
uint32_t secondsTextToMs(const char* text);

}  // namespace driver
