// The time layer between the root search and the interface: it decides before each
// iteration and each root move whether the search may go on within the time the
// driver allotted, records the best line whenever the root reports one and hands
// it to the interface, and handles the easy move (an obvious recapture that lets
// the engine answer after a fraction of its time).
//
// The hard limit is the poll's business; the rest of this layer only weighs the
// soft target. A score that fell by more than 20 centipawns buys the search more
// time. Limits and results are the variables of search/limits.h.
#pragma once
#include <cstddef>
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
// ponder move and hands the line to the interface (Interface.rootLine); true to
// stop.
bool reportRootResult(int score, int kind, const board::Move* line);
// The driver's easy-move candidate, already found to recapture on the square of
// the game's last move (else 0).
void setEasyMove(board::Move recapture);

// Called by the node search every few thousand nodes: records the node count, lets
// the interface read what is waiting (Interface.readCommands), then holds the
// search to its hard limit. 1 when the search must stop now.
int pollSearch(uint64_t nodes);

// The thinking line of a root report: depth, score, centiseconds, nodes, then the
// line in coordinate moves, as xboard reads it.
void formatThinkingLine(char* text, size_t size, int score, const board::Move* line, uint32_t elapsedMs);
// The root-line hook of a search that prints on its own (SearchLimits::post):
// every change of the best line, and every line after the first second, on
// standard output and in the log.
void printThinkingLine(int score, int kind, const board::Move* line, bool lineChanged, uint32_t elapsedMs);

}  // namespace search
