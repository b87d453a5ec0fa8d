// Search threads beside the main search: each helper searches the main search's
// root on its own copy of the position, with its own move lists, killers, history
// and evaluation caches, and shares the transposition table. Their results reach
// the main search only through the table; the helpers differ from it (and from one
// another) by where their deepening starts. Only the main search reads the
// interface, reports and decides the move; the helpers stop when it ends.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "board/position.h"

namespace search {

constexpr int MaxThreads = 64;

class SearchThreadsState {
  public:
    SearchThreadsState();
    ~SearchThreadsState();
    // Room for `threads` search threads in all, the main one included: threads - 1
    // helpers, each with its own position, search state and evaluation caches.
    // Between searches only. Returns the number in effect (fewer when memory ran out).
    int resize(int threads);
    int threads() const { return int(helpers.size()) + 1; }
    // Every helper starts on a copy of root (prepared for the search, side to move),
    // with the root's legal moves and the game's keys before it.
    void start(const board::Position& root, int side, const board::ScoredMove* first, const board::ScoredMove* last,
               const board::HashKey* keysBegin, const board::HashKey* keysEnd);
    // Stops every helper and waits for it; returns the nodes the helpers searched.
    uint64_t stop();
    // The main search's iteration and root bound as it starts each root search: the
    // helpers search at its depth (or a ply deeper) against its bound, so that what
    // they store is what its probes can use.
    void followRoot(int iteration, int bound) {
        rootIteration.store(iteration, std::memory_order_relaxed);
        rootBound.store(bound, std::memory_order_relaxed);
    }
    // The helpers' nodes of the last search that had helpers.
    uint64_t helperNodes() const { return lastHelperNodes; }

    struct Helper;

  private:
    std::vector<std::unique_ptr<Helper>> helpers;
    std::atomic<int> stopFlag{0};
    std::atomic<int> rootIteration{1};
    std::atomic<int> rootBound{0};
    bool running = false;
    uint64_t lastHelperNodes = 0;
};
extern SearchThreadsState SearchThreads;  // defined in driver/globals.cpp

}  // namespace search
