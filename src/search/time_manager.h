// The time layer between the root search and the driver: it decides before each
// iteration and each root move whether the search may go on within the time the
// driver allotted, records the best line whenever the root reports one, prints the
// thinking line, and handles the easy move (an obvious recapture that lets the
// engine answer after a fraction of its time).
//
// The hard limit is the poll's business; this layer only weighs the soft target.
// A score that fell by more than 20 centipawns buys the search more time.
#pragma once
#include <cstdint>

#include "board/types.h"

namespace search {

// The kind of a root report.
enum RootUpdateKind : int { UpdateExact = 0, UpdateFailHigh = 1, UpdateFailLow = 2 };

// Records the node count the reports print.
void setNodeCount(uint64_t nodes);
// Before iteration i: true to stop the search.
bool mayStartIteration(int iteration);
// Before each root move (index from 0 of count): true to stop.
bool mayStartMove(board::Move move, int index, int count);
// A new best line of the root (0-terminated, root move first): records best and
// ponder move, prints the thinking line when posting is on; true to stop.
bool reportRootResult(int score, int kind, const board::Move* line);
// The driver's easy-move candidate, kept only when it recaptures.
void setEasyMove(board::Move move);

}  // namespace search
