// What the interface asks of a search and what the search tells it back: the
// limits the command loop and the driver set, the results the search writes, and
// the hooks through which the search reaches the interface without knowing it.
//
// There is one thread, so the variables are plain globals, grouped by who writes
// them, each with its value at start-up. Times are unsigned 32-bit milliseconds of
// the platform's tick counter; every difference between two ticks is taken
// unsigned, so the counter may wrap.
//
// The driver installs its hooks at start-up (driver::installSearchHooks). Until
// then, and in the tools and tests that search without a driver, the search reads
// no input and prints nothing.
#pragma once
#include <cstdint>

#include <atomic>

#include "board/types.h"

namespace search {

// ---- Written by the interface: the command loop and the driver ------------------
inline constinit int analyzeMode = 0;  // analyse without limit, play nothing
inline constinit int pondering = 0;    // the running search has no time limit
inline constinit int fixedDepth = 0;   // "sd": the last iteration to search, 0 = none
inline constinit uint32_t searchStartTick = 0;
inline constinit uint32_t hardTimeLimit = 0;  // where the poll stops the search
inline constinit uint32_t targetTime = 0;     // the soft budget of the time layer
// The poll stops this long before the hard limit, so that a move due within a
// fixed time arrives within it.
inline constinit uint32_t stopMargin = 0;

// The three time figures together, as the driver's time budget computes them for
// a search outside the game (SearchLimits of search/root_search.h).
struct TimeBudget {
    uint32_t hardTimeLimit;
    uint32_t targetTime;
    uint32_t stopMargin;
};
constexpr TimeBudget NoTimeLimit{0xFFFFFFFFu, 0xFFFFFFFFu, 0};

// ---- Written by the search (and cleared by the commands that void them) --------
inline constinit board::Move bestMove = 0;    // the move the driver plays
inline constinit board::Move ponderMove = 0;  // the predicted reply
inline constinit int currentScore = 0;        // score of the last root report
inline constinit int previousScore = 0;       // reference score of time decisions
inline constinit int lastRootUpdateKind = 0;  // 0 exact, 1 fail high, 2 fail low
inline constinit int iterationDepth = 0;      // iteration in progress
inline constinit int rootMovesSearched = 0;   // 1-based root move being searched
inline constinit uint64_t recordedNodes = 0;  // the node count as last recorded
inline constinit board::Move easyMove = 0;    // an obvious recapture, or 0
// Every node of the main search returns at once while set.
inline constinit std::atomic<int> searchStopped{0};

// ---- The interface, as the search calls it ---------------------------------------
struct InterfaceHooks {
    // Reads the commands already waiting: 1 when one of them ends the search.
    // Called by the poll every few thousand nodes.
    int (*readCommands)();
    // A new best line of the root (0-terminated, root move first) with its score
    // and kind (RootUpdateKind of search/time_manager.h); lineChanged tells whether
    // its first two moves differ from the last report's.
    void (*rootLine)(int score, int kind, const board::Move* line, bool lineChanged, uint32_t elapsedMs);
};
inline int noCommands() { return 0; }
inline void noRootLine(int, int, const board::Move*, bool, uint32_t) {}
inline constinit InterfaceHooks Interface{noCommands, noRootLine};

}  // namespace search
