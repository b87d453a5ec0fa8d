#include "search/node_search.h"

#include <cstring>

namespace search {

constinit int64_t nodeCount = 0;
constinit board::Move hashMove = 0;
constinit board::Move killer1[MaxPly]{};
constinit board::Move killer2[MaxPly]{};
constinit board::Move bestMoveAtPly[MaxPly]{};
constinit int history[2][64][64]{};
constinit board::ScoredMove moveList[MoveListCapacity]{};
constinit board::Move rootPV[RootLineLength]{};

void clearSearchTables() {
    std::memset(history, 0, sizeof history);
    std::memset(killer1, 0, sizeof killer1);
    std::memset(killer2, 0, sizeof killer2);
    std::memset(bestMoveAtPly, 0, sizeof bestMoveAtPly);
    std::memset(rootPV, 0, sizeof rootPV);
    std::memset(moveList, 0, sizeof moveList);
    nodeCount = 0;
    hashMove = 0;
}

}  // namespace search
