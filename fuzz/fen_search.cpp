// Fuzzing positions from text: the FEN reader, then what every position that the
// engine accepts goes through: loading the board, the root preparation, the legal
// move list and a shallow search. Positions the game would refuse to set up are
// loaded and keyed too (the learning file does that with any FEN it reads), and
// the root preparation must refuse them before any search.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "driver/main_loop.h"
#include "driver/time_budget.h"
#include "scripted_platform.h"
#include "search/root_search.h"
#include "search/transposition.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    search::TransTable.allocate(1024);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the search: one ply, or 16, 48 or 128 ms of the
    // script's clock, which ticks once per reading (the time checks of every root
    // move read it, every poll after 4000 nodes too): two plies at least, three
    // to five in most positions. The rest is the text.
    if (size < 1) return 0;
    constexpr uint32_t SearchMs[4] = {0, 16, 48, 128};
    const uint32_t searchMs = SearchMs[data[0] % 4];
    char text[512];
    size_t n = size - 1 < sizeof text - 1 ? size - 1 : sizeof text - 1;
    std::memcpy(text, data + 1, n);
    text[n] = 0;

    const board::PositionRecord* parsed = board::parseFen(text);
    if (!parsed) return 0;
    const board::PositionRecord record = *parsed;
    // What the reader gives back must read again as the same position.
    const board::PositionRecord* again = board::parseFen(board::formatFen(record));
    if (!again || std::memcmp(again->squares, record.squares, sizeof record.squares) != 0 ||
        again->sideToMove != record.sideToMove)
        std::abort();

    board::Board.loadRecord(record);
    (void)board::Board.hashKey();

    // The search refuses exactly the positions that the game refuses to set up;
    // the driver lists moves only in positions that the game accepted.
    search::TransTable.clear();
    search::SearchLimits limits;
    // A fixed depth of two or three can take minutes where every move checks;
    // the clock stops a search from its second iteration on, as in a game.
    limits.depth = searchMs ? 0 : 1;
    limits.time = searchMs ? driver::fixedTimeBudget(searchMs) : search::NoTimeLimit;
    const search::SearchResult result = search::searchPosition(record, limits);
    if (!board::isPlayablePosition(record)) {
        if (result.legalMoves != 0 || result.bestMove != 0) std::abort();
        return 0;
    }
    board::Board.loadRecord(record);
    board::Move moves[driver::MaxLegalMoves];
    bool inCheck = false;
    const int count = driver::listLegalMoves(moves, &inCheck);
    // The search plays one of the legal moves, and only when there is one.
    if (result.legalMoves != count) std::abort();
    if (count > 0) {
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed = listed || moves[i] == (result.bestMove & board::MoveIdentity);
        if (!listed) std::abort();
    }
    return 0;
}
