// talvo-tools search "<FEN>" [depth | --time ms]: analyses one position and prints
// the engine's thinking lines (depth, score, centiseconds, nodes, line), then the
// move it would play.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/position_record.h"
#include "board/record_rules.h"
#include "driver/config.h"
#include "driver/time_budget.h"
#include "search/root_search.h"
#include "search/transposition.h"

#include "tool_arguments.h"

int runSearch(int argc, char** argv) {
    int status = 0;
    board::PositionRecord* record =
        tool_arguments::positionArgument(argc, argv, 0, "talvo-tools search \"<FEN>\" [depth | --time ms]", &status);
    if (!record) return status;
    if (!board::isPlayablePosition(*record)) {
        std::fprintf(stderr,
                     "not a legal position: one king a side, at most 16 men each, no pawn on the first "
                     "or last rank, the side not to move not in check\n");
        return 1;
    }
    search::SearchLimits limits;
    limits.post = true;
    limits.depth = 8;
    uint32_t timeMs = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--time") == 0) {
        limits.depth = 0;
        timeMs = uint32_t(std::atoi(argv[2]));
        limits.time = driver::fixedTimeBudget(timeMs);
    } else if (argc >= 2) {
        limits.depth = std::atoi(argv[1]);
    }
    if (limits.depth < 0 || limits.depth > 60 || (limits.depth == 0 && timeMs == 0)) {
        std::fprintf(stderr, "depth must be 1..60, or --time a positive number of milliseconds\n");
        return 2;
    }
    search::TransTable.allocate(driver::EngineConfig.sizeHt > 0 ? driver::EngineConfig.sizeHt * 1024 : 4096);
    search::TransTable.clear();
    const search::SearchResult r = search::searchPosition(*record, limits);
    if (r.legalMoves == 0) {
        std::printf("no legal move\n");
        return 0;
    }
    std::printf("bestmove %s", board::moveToText(r.bestMove));
    if (r.ponderMove) std::printf(" ponder %s", board::moveToText(r.ponderMove));
    std::printf("  score %d  depth %d  nodes %" PRIu64 "\n", r.score, r.depth, r.nodes);
    return 0;
}
