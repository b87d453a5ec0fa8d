// UCI, the engine's second protocol. The engine speaks xboard unless the first
// command it receives is "uci"; then it speaks UCI for the rest of the run, with
// the same search, time budget, book and tablebases.
//
// The interface owns the game in UCI: every "position" sets it anew (the start
// position or a FEN, then the moves played), every "go" searches it and ends in one
// "bestmove". A "go infinite" or "go ponder" search never answers before "stop" or
// "ponderhit", even when it ends by itself. Malformed input is reported with an
// "info string" line and otherwise ignored.
#pragma once
#include "board/types.h"

namespace driver {

// Answers the "uci" handshake, then handles UCI commands until "quit" or the end
// of input.
[[noreturn]] void runUci();

// Handles one UCI command line outside a search.
void handleUciLine(const char* line);

// Called by the poll during a UCI search: reads what is waiting; 1 when the search
// must stop ("stop", or "quit" ends the process).
int uciPollCommands();

// The "info ..." line of a new best root line.
void sendUciInfo(int score, int kind, const board::Move* line);

// "mate N" moves for a mate score (negative when the engine is mated), "cp N"
// otherwise, as UCI writes scores.
const char* uciScoreText(int score);

}  // namespace driver
