// Building an opening book from games.
//
// Every line of every game (the main line, and each variation from the start on)
// counts each position it reaches up to the maximum ply once; a line that repeats
// a position does not count it twice, while two lines that transpose into it both
// do. The book then holds one record per position reached at least the minimum
// number of times.
//
// The engine chooses among the moves of a position by the weights of the
// positions they lead to, so a record's weight says how much its position is
// worth moving into: how many lines reached it, or, weighting by results, two
// points for each line that the side who moved into it won and one for each draw
// (a line without a result counts as a draw). A position only ever lost into
// weighs 0: the engine never plays into it but answers from it when the opponent
// does. Weights are scaled down together, ratios kept, so that no weight exceeds
// MaxBookWeight: 32 candidates of that weight times 100 still fit a signed 32-bit
// sum, the arithmetic of the percentages in the engine's book line.
#pragma once
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "board/types.h"

namespace book {

constexpr int MaxBookPly = 50;  // the engine asks its book up to ply 50
constexpr int32_t MaxBookWeight = 500000;

struct BookBuildOptions {
    int maxPly = 30;   // positions after at most this many plies from the game's start
    int minCount = 1;  // positions reached by fewer lines are left out
    bool weightByResults = false;
};

// One record as the book file holds it: the key as a little-endian 64-bit number,
// the weight as a little-endian 32-bit number, four bytes unused.
struct WrittenRecord {
    uint8_t bytes[16];
};
static_assert(sizeof(WrittenRecord) == 16);

struct BookBuilder {
    explicit BookBuilder(const BookBuildOptions& buildOptions) : options(buildOptions) {}

    // Reads every game of a PGN file. A malformed game is reported on report as
    // "FILE: game N (line L): reason" and leaves nothing in the book. False when
    // the file cannot be read.
    bool addPgnFile(const char* fileName, std::FILE* report);
    // Counts one line of a game: the keys of its positions from ply 0 on, and the
    // game's result (a PgnResult).
    void addLine(const board::HashKey* keys, int count, int result);

    // The records the book holds: filtered, weighted and in file order (ascending
    // key bytes).
    std::vector<WrittenRecord> records() const;
    // Writes the book under a temporary name, then renames it, so that the file
    // name never holds a partial book. False, and nothing written, on failure.
    bool writeBook(const char* fileName, int* recordCount) const;

    // How often lines reached a position, and the points its movers scored there.
    struct Tally {
        uint64_t lines = 0;
        uint64_t points = 0;
    };
    BookBuildOptions options;
    std::unordered_map<uint64_t, Tally> tallies;  // by the key as a 64-bit number
    int gamesRead = 0;
    int gamesSkipped = 0;
    int64_t linesRead = 0;
};

}  // namespace book
