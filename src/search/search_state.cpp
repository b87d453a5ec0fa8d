#include "search/search_state.h"

#include <cstring>

#include "eval/piece_square.h"

namespace search {

void SearchState::clear() {
    std::memset(ordering.history, 0, sizeof ordering.history);
    std::memset(ordering.killer1, 0, sizeof ordering.killer1);
    std::memset(ordering.killer2, 0, sizeof ordering.killer2);
    std::memset(ordering.bestMoveAtPly, 0, sizeof ordering.bestMoveAtPly);
    std::memset(rootPV, 0, sizeof rootPV);
    std::memset(moveList, 0, sizeof moveList);
    ordering.nodeCount = 0;
    ordering.hashMove = 0;
}

bool prepareSearch(board::Position& pos, SearchState& state, int side) {
    const bool usable = eval::prepareRoot(pos, side);
    pos.ordering = &state.ordering;
    state.clear();
    return usable;
}

}  // namespace search
