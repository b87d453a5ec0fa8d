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

// "0.1", "2", "0.025": seconds as interfaces write an increment, in milliseconds;
// digits past the millisecond are dropped, values past the tick range saturate.
uint32_t secondsTextToMs(const char* text);

}  // namespace driver
