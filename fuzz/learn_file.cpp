// Fuzzing the learning file: any bytes as "Talvo.lrn", loaded into the table as
// before a game, then a search of the first position of the file, which meets
// whatever was learned about it.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/position_record.h"
#include "board/record_rules.h"
#include "book/learning.h"
#include "driver/time_budget.h"
#include "scripted_platform.h"
#include "search/root_search.h"
#include "search/transposition.h"

namespace {

constexpr const char* LearnName = "fuzz-Talvo.lrn";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    search::TransTable.allocate(256);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(LearnName, "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    search::TransTable.clear();
    book::LearnTable.enabled = true;
    book::LearnTable.load(LearnName);
    std::remove(LearnName);
    // A file that is gone by the next game loads nothing.
    book::LearnTable.load(LearnName);

    char line[book::LearnLineSize];
    size_t n = size < sizeof line - 1 ? size : sizeof line - 1;
    std::memcpy(line, data, n);
    line[n] = 0;
    const board::PositionRecord* parsed = board::parseFen(line);
    if (!parsed || !board::isPlayablePosition(*parsed)) return 0;
    const board::PositionRecord record = *parsed;
    // The table still holds the entries of the first load.
    search::SearchLimits limits;
    limits.time = driver::fixedTimeBudget(48);  // of the script's clock: a few plies, bounded
    search::searchPosition(record, limits);
    return 0;
}
