// Fuzzing the settings file: any bytes as "Talvo.ini", read as at start-up, then
// the settings put to use the way the main routine uses them (table size, draw
// value, log), and a search in which draws are scored.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "board/board.h"
#include "board/position_record.h"
#include "driver/config.h"
#include "driver/main_loop.h"
#include "scripted_platform.h"
#include "search/root_search.h"
#include "search/transposition.h"

using driver::EngineConfig;

namespace {

constexpr const char* IniName = "fuzz-Talvo.ini";
// A queen move stalemates here, and the bare kings below are a dead draw: both
// bring the draw value into the search's scores.
constexpr const char* DrawPositions[] = {"k7/8/8/1Q6/8/8/8/7K w - -", "8/8/3k4/8/8/4K3/8/8 w - -"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    search::TransTable.allocate(256);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(IniName, "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    EngineConfig.setDefaults();
    EngineConfig.readIni(IniName);
    std::remove(IniName);

    if (std::strlen(EngineConfig.pathTb) >= sizeof EngineConfig.pathTb) std::abort();
    // The table size as the main routine computes it; the table itself stays small.
    const int kilobytes = driver::tableKilobytes(EngineConfig.sizeHt);
    const uint32_t buckets = search::bucketCountFor(kilobytes);
    if (buckets & (buckets - 1)) std::abort();

    if (EngineConfig.log) {
        base::logLine("fuzz");
        std::remove("Talvo.log");
    }
    board::Board.drawValue = driver::boardDrawValue(EngineConfig.drawValue);
    for (const char* fen : DrawPositions) {
        search::TransTable.clear();
        search::SearchLimits limits;
        limits.depth = 2;
        search::searchPosition(*board::parseFen(fen), limits);
    }
    board::Board.drawValue = 0;
    EngineConfig.setDefaults();
    return 0;
}
