#include "search/threads.h"

#include <new>
#include <thread>

#include "board/board.h"
#include "board/make_move.h"
#include "eval/pawns.h"
#include "eval/piece_terms.h"
#include "search/node_search.h"
#include "search/search_state.h"

namespace search {

namespace {

// The helpers deepen no further than the node search's plies allow.
constexpr int DeepestHelperIteration = 60;
// Extensions a helper's line may receive, as the main search gives its later iterations.
constexpr int HelperExtensions = 8;

}  // namespace

struct SearchThreadsState::Helper {
    int index = 0;
    board::Position pos;
    SearchState state;
    eval::PawnEvaluatorState pawns;
    eval::KingShelterCacheState shelter;
    board::ScoredMove root[256];
    int rootCount = 0;
    int side = 0;
    std::thread thread;

    // Iterative deepening over the root moves, without reports or time: what it
    // finds goes to the table. Each root move is searched at the main search's
    // current depth against its current bound, odd helpers a ply deeper, so that
    // the threads do not all walk the same tree at the same time.
    void run(const std::atomic<int>& stop, const std::atomic<int>& mainIteration, const std::atomic<int>& mainBound) {
        eval::ThreadPawnEvaluator = &pawns;
        eval::ThreadKingShelterCache = &shelter;
        pawns.resetPawnEvaluator();  // as the root preparation does for the main search
        const int o = 1 - side;
        while (rootCount > 0 && !stop.load(std::memory_order_relaxed)) {
            for (int i = 0; i < rootCount; ++i) {
                const int depth = mainIteration.load(std::memory_order_relaxed) + (index & 1);
                if (depth > DeepestHelperIteration) return;
                const int bound = mainBound.load(std::memory_order_relaxed);
                board::ScoredMove entry = root[i];
                const int captured = (entry.move & board::MoveCapture)
                                         ? board::pieceValue[pos.squares[board::moveTo(entry.move)].piece]
                                         : 0;
                board::Move line[LineLength] = {};
                board::makeMove(pos, side, 0, entry.move);
                searchNode(state, pos, o, 1, depth, state.moveList, &entry, -bound, line, HelperExtensions, -captured,
                           NoTieSide);
                // A stopped search leaves its line made: the copy is dropped as it stands.
                if (stop.load(std::memory_order_relaxed)) return;
                board::unmakeMove(pos, 0);
            }
        }
    }
};

SearchThreadsState::SearchThreadsState() = default;
SearchThreadsState::~SearchThreadsState() { stop(); }

int SearchThreadsState::resize(int threads) {
    stop();
    if (threads < 1) threads = 1;
    if (threads > MaxThreads) threads = MaxThreads;
    while (int(helpers.size()) > threads - 1) helpers.pop_back();
    while (int(helpers.size()) < threads - 1) {
        Helper* helper = new (std::nothrow) Helper;
        if (helper && !helper->pawns.ready()) {
            delete helper;
            helper = nullptr;
        }
        if (!helper) break;
        helper->index = int(helpers.size());
        helpers.emplace_back(helper);
    }
    return this->threads();
}

void SearchThreadsState::start(const board::Position& root, int side, const board::ScoredMove* first,
                               const board::ScoredMove* last, const board::HashKey* keysBegin,
                               const board::HashKey* keysEnd) {
    stop();
    if (helpers.empty()) return;
    stopFlag.store(0, std::memory_order_relaxed);
    rootIteration.store(1, std::memory_order_relaxed);
    rootBound.store(0, std::memory_order_relaxed);
    for (const std::unique_ptr<Helper>& h : helpers) {
        h->pos = root;
        h->state.clear();
        h->state.evalLine = eval::EvalLine{};
        h->state.pollCounter = 0;
        h->state.gameKeysBegin = keysBegin;
        h->state.gameKeysEnd = keysEnd;
        h->state.helperStop = &stopFlag;
        h->pos.ordering = &h->state.ordering;
        h->side = side;
        h->rootCount = 0;
        for (const board::ScoredMove* m = first; m < last && h->rootCount < 256; ++m) h->root[h->rootCount++] = *m;
        Helper* helper = h.get();
        helper->thread = std::thread([helper, this] { helper->run(stopFlag, rootIteration, rootBound); });
    }
    running = true;
}

uint64_t SearchThreadsState::stop() {
    if (!running) return 0;
    stopFlag.store(1, std::memory_order_relaxed);
    uint64_t nodes = 0;
    for (const std::unique_ptr<Helper>& h : helpers) {
        if (h->thread.joinable()) h->thread.join();
        nodes += uint64_t(h->state.ordering.nodeCount);
    }
    running = false;
    lastHelperNodes = nodes;
    return nodes;
}

}  // namespace search
