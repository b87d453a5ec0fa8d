// talvo-tools epd FILE [ms]: a tactical test suite. Each line holds four FEN fields
// and "bm" with the accepted best moves in SAN; the engine searches every position
// for the given time (1000 ms by default) and the tool counts the positions where
// its move is one of them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "board/san.h"
#include "driver/config.h"
#include "driver/time_budget.h"
#include "search/root_search.h"
#include "search/search_state.h"
#include "search/transposition.h"

namespace {

// The best moves named after "bm", up to the ';'.
std::string bestMovesField(const std::string& line) {
    const size_t at = line.find(" bm ");
    if (at == std::string::npos) return "";
    const size_t end = line.find(';', at);
    return line.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

// The legal moves of the position the board holds, for SAN lookups.
int legalMovesOf(const board::PositionRecord& record, board::ScoredMove* list) {
    board::Board.loadRecord(record);
    if (!board::isPlayablePosition(record) ||
        !search::prepareSearch(board::Board, search::MainSearch, record.sideToMove))
        return 0;
    return board::generateLegalMoves(board::Board, list, record.sideToMove, 0);
}

}  // namespace

int runEpd(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools epd FILE [ms per position]\n");
        return 2;
    }
    FILE* file = std::fopen(argv[0], "r");
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 1;
    }
    const uint32_t ms = argc >= 2 ? uint32_t(std::atoi(argv[1])) : 1000;
    search::TransTable.allocate(driver::EngineConfig.sizeHt > 0 ? driver::EngineConfig.sizeHt * 1024 : 4096);
    int solved = 0, total = 0;
    char buffer[1024];
    // Pseudo-legal moves are listed before the illegal ones are dropped.
    static board::ScoredMove legal[search::MoveListCapacity];
    while (std::fgets(buffer, sizeof buffer, file)) {
        const std::string line(buffer);
        const std::string wanted = bestMovesField(line);
        board::PositionRecord* parsed = board::parseFen(line.c_str());
        if (wanted.empty() || !parsed) continue;
        const board::PositionRecord record = *parsed;
        search::TransTable.clear();
        const search::SearchResult r = search::searchPosition(record, {0, driver::fixedTimeBudget(ms)});
        const int n = legalMovesOf(record, legal);
        bool found = false;
        for (size_t start = 0; start < wanted.size();) {
            size_t end = wanted.find(' ', start);
            if (end == std::string::npos) end = wanted.size();
            const std::string san = wanted.substr(start, end - start);
            const board::Move m = board::parseSan(board::Board, san.c_str(), legal, n);
            if (m && (m & board::MoveIdentity) == r.bestMove) found = true;
            start = end + 1;
        }
        ++total;
        solved += found;
        const char* played = "-";
        for (int i = 0; i < n; ++i)
            if ((legal[i].move & board::MoveIdentity) == r.bestMove)
                played = board::moveToSan(board::Board, legal[i].move, legal, n);
        std::printf("%3d %-6s %-8s bm %-16s %s\n", total, found ? "solved" : "missed", played, wanted.c_str(),
                    board::formatFen(record));
        std::fflush(stdout);
    }
    std::fclose(file);
    std::printf("solved %d of %d at %u ms per position\n", solved, total, ms);
    return 0;
}
