// The variables through which the command loop, the move decision driver and the
// search talk to one another. There is one thread, so they are plain globals; they
// are grouped by who writes them, each with its value at start-up.
//
// Times are unsigned 32-bit milliseconds of the platform's tick counter; every
// difference between two ticks is taken unsigned, so the counter may wrap.
#pragma once
#include <cstdint>

#include "board/types.h"

namespace driver {

// ---- Written by the command loop ------------------------------------------------
inline constinit int forceMode = 1;           // the engine makes no move of its own
inline constinit int waitingForOpponent = 1;  // no thinking until the opponent has moved
inline constinit int engineSide = 0;          // colour the engine plays
inline constinit int ponderEnabled = 0;       // "hard": think on the opponent's time
inline constinit int postEnabled = 0;         // print thinking lines
inline constinit int analyzeMode = 0;         // analyse without limit, play nothing
inline constinit int fritzMode = 0;           // never resign; report every new best line
inline constinit int movesPerSession = 0;     // moves per time control, 0 = whole game
inline constinit uint32_t incrementMs = 0;    // added to the clock after every move
inline constinit uint32_t fixedMoveTime = 0;  // "st": milliseconds per move, 0 = none
inline constinit int depthLimit = 0;          // "sd": fixed depth, 0 = none
inline constinit uint32_t engineClock = 0;    // the engine's remaining time
inline constinit uint32_t opponentClock = 0;  // the opponent's remaining time
// The interface told the engine its clock in this game ("time", UCI "wtime"/"btime");
// a fixed depth then still keeps to it.
inline constinit int clockKnown = 0;
// With UCI the interface counts the moves to the next time control itself.
inline constinit int movesToGo = 0;  // 0: not given
// UCI "Move Overhead": milliseconds kept back from every move for the interface.
constexpr uint32_t DefaultMoveOverheadMs = 30;
inline constinit uint32_t uciMoveOverhead = DefaultMoveOverheadMs;
// A game began ("new", a new position): the learned positions go to the table
// before the next search.
inline constinit int newGameStarted = 1;

// ---- Written by the move decision driver ---------------------------------------
inline constinit int pondering = 0;             // the running search has no time limit
inline constinit board::Move ponderedMove = 0;  // predicted reply played on the record
inline constinit int rootMoveCount = 0;         // legal moves at the root
inline constinit uint32_t searchStartTick = 0;
inline constinit uint32_t hardTimeLimit = 0;  // where the poll stops the search
inline constinit uint32_t targetTime = 0;     // the soft budget of the time layer
// The poll stops this long before the hard limit, so that a move due within a
// fixed time arrives within it.
inline constinit uint32_t stopMargin = 0;

// ---- Written by the search (and cleared by the commands that void them) --------
inline constinit board::Move bestMove = 0;    // the move the driver plays
inline constinit board::Move ponderMove = 0;  // the predicted reply
inline constinit int currentScore = 0;        // score of the last root report
inline constinit int previousScore = 0;       // reference score of time decisions
inline constinit int lastRootUpdateKind = 0;  // 0 exact, 1 fail high, 2 fail low
inline constinit int iterationDepth = 0;      // iteration in progress
inline constinit int rootMovesSearched = 0;   // 1-based root move being searched
inline constinit uint64_t nodeCount = 0;      // as last recorded
inline constinit board::Move easyMove = 0;    // an obvious recapture, or 0
inline constinit int searchStopped = 0;       // every node returns at once while set
// The poll reads the interface during a search; tools that search a position on
// their own switch it off so that only the clock can stop them.
inline constinit int commandsDuringSearch = 1;
// The engine speaks UCI instead of xboard (decided by the first command).
inline constinit int uciMode = 0;

}  // namespace driver
