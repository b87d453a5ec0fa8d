// The node search: one position below the root, searched with a single bound.
#pragma once
#include <cstdint>

#include "board/position.h"
#include "board/types.h"
#include "search/search_state.h"

namespace search {

// Deepest ply the search enters: beyond it a node returns its static score.
constexpr int MaxSearchPly = 61;

// One node below the root, on pos with state's tables: an alpha-beta search with a
// single bound, answering whether the position is worth more than the bound (from
// side's view). Returns the best score found; 0 at once when the search was stopped.
//   freeList   where this node may write its move list
//   moveIn     the entry of the move that led here (gets MoveCheck when in check)
//   pvOut      receives the best move and the line behind it (plies below 8)
//   budget     extensions the line may still receive
//   swing      material the side to move won along the recent captures
//   tieSide    the side for which a score equal to the bound is a fail high, or
//              NoTieSide
constexpr int NoTieSide = 2;  // a score equal to the bound is a fail high for neither side
int searchNode(SearchState& state, board::Position& pos, int side, int ply, int depthLimit,
               board::ScoredMove* freeList, board::ScoredMove* moveIn, int bound, board::Move* pvOut,
               int budget, int swing, int tieSide);

}  // namespace search
