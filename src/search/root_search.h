// Root search and iterative deepening. The legal root moves are ordered once, then
// searched one iteration deeper at a time with a single bound: the best score so
// far. A later move that fails high is re-searched with a raised bound and moves to
// the front; only the first move is re-searched downwards after a fail low. Every
// change of the best line goes to the time layer, which may end the search.
#pragma once
#include <cstdint>

#include "board/position.h"
#include "board/position_record.h"
#include "board/types.h"
#include "eval/evaluate.h"
#include "search/limits.h"
#include "search/search_state.h"

namespace search {

// No ply limit of a mate search (eval/evaluate.h): an ordinary search.
using eval::NoMateLimit;

// Searches the root list [first, last) of pos for side, with state's tables (the
// list lies in state.moveList). gameKeys are the positions of the game before the
// root that a repetition may reach. The result is in the search control variables
// (best move, ponder move, score) and in the list's order.
void searchRoot(SearchState& state, board::Position& pos, int side, board::ScoredMove* first,
                board::ScoredMove* last, const board::HashKey* gameKeysBegin,
                const board::HashKey* gameKeysEnd, int initialMateLimit);

// A search of one position outside the game, for tools and tests: it never reads
// the interface and plays nothing. depth 0 means no depth limit; the time budget
// comes from the caller (driver::fixedTimeBudget for a time per move), none by
// default (one of the two must be given). A position the game would refuse to set
// up (see board::isPlayablePosition) is not searched: no legal move, no result.
// It runs on the engine's own position and search state, as the game's searches do.
struct SearchLimits {
    int depth = 0;
    TimeBudget time = NoTimeLimit;
    bool post = false;  // print thinking lines on standard output (printThinkingLine)
};
struct SearchResult {
    board::Move bestMove = 0;
    board::Move ponderMove = 0;
    int score = 0;
    int depth = 0;         // last iteration started
    uint64_t nodes = 0;
    int legalMoves = 0;
};
SearchResult searchPosition(const board::PositionRecord& record, const SearchLimits& limits);

}  // namespace search
