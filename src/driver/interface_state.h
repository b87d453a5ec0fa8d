// The interface's own state: the modes, clocks and time control that the commands
// set, which the command loop, the move decision driver and the time budget read.
// The search never sees them; what it is asked and what it answers are in
// search/limits.h. There is one thread, so they are plain globals, grouped by who
// writes them, each with its value at start-up.
//
// Times are unsigned 32-bit milliseconds of the platform's tick counter.
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
inline constinit int fritzMode = 0;           // never resign; report every new best line
inline constinit int movesPerSession = 0;     // moves per time control, 0 = whole game
inline constinit uint32_t incrementMs = 0;    // added to the clock after every move
inline constinit uint32_t fixedMoveTime = 0;  // "st": milliseconds per move, 0 = none
inline constinit uint32_t engineClock = 0;    // the engine's remaining time
inline constinit uint32_t opponentClock = 0;  // the opponent's remaining time
// The interface told the engine its clock in this game ("time", UCI "wtime"/"btime");
// a fixed depth then still keeps to it.
inline constinit int clockKnown = 0;
// With UCI the interface counts the moves to the next time control itself.
inline constinit int movesToGo = 0;  // 0: not given
// UCI "Move Overhead": milliseconds kept back from every move for the interface.
constexpr uint32_t DefaultMoveOverheadMs = 10;
inline constinit uint32_t uciMoveOverhead = DefaultMoveOverheadMs;
// A game began ("new", a new position): the learned positions go to the table
// before the next search.
inline constinit int newGameStarted = 1;

// ---- Written by the move decision driver ---------------------------------------
inline constinit board::Move ponderedMove = 0;  // predicted reply played on the record
inline constinit int rootMoveCount = 0;         // legal moves at the root
// The poll reads the interface during a search; a caller that searches on its own
// switches it off so that only the clock can stop the search.
inline constinit int commandsDuringSearch = 1;
// The engine speaks UCI instead of xboard (decided by the first command).
inline constinit int uciMode = 0;

}  // namespace driver
