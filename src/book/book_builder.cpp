#include "book/book_builder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "book/pgn.h"

namespace book {

using board::HashKey;

namespace {

uint64_t keyNumber(HashKey key) { return uint64_t(key.high) << 32 | key.low; }

// Stored little-endian, the key's bytes compare in the order of the byte-swapped
// number: the least significant byte decides first.
uint64_t fileOrder(uint64_t key) { return __builtin_bswap64(key); }

void putLittleEndian(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = uint8_t(value >> (8 * i));
}

// Points for the side that moved into a position (bit 0 of the key: the side now
// to move, 1 for Black).
uint64_t moverPoints(uint64_t key, int result) {
    const int mover = (key & 1) ? board::White : board::Black;
    if (result == WhiteWins) return mover == board::White ? 2 : 0;
    if (result == BlackWins) return mover == board::Black ? 2 : 0;
    return 1;
}

// Gathers the lines of one game; they count only once the whole game has been read
// without a fault.
class GameLines : public PgnLineSink {
public:
    void lineEnd(const HashKey* keys, int count) override {
        for (int i = 0; i < count; ++i) {
            bool repeated = false;
            for (int j = 0; j < i && !repeated; ++j) repeated = keys[j] == keys[i];
            if (!repeated) keys_.push_back(keyNumber(keys[i]));
        }
    }
    void clear() { keys_.clear(); }
    const std::vector<uint64_t>& keys() const { return keys_; }

private:
    std::vector<uint64_t> keys_;
};

}  // namespace

bool BookBuilder::addPgnFile(const char* fileName, std::FILE* report) {
    PgnReader reader;
    if (!reader.open(fileName)) return false;
    // The replay keeps every position of a game; it is too large for the stack.
    std::unique_ptr<PgnReplay> replay(new PgnReplay);
    GameLines lines;
    const int keyPlies = std::clamp(options.maxPly, 0, MaxBookPly);

    while (reader.nextGame()) {
        lines.clear();
        const int gameLine = reader.gameLine;
        if (!replay->replayGame(reader, lines, keyPlies)) {
            ++gamesSkipped;
            if (report) std::fprintf(report, "%s: game %d (line %d): %s\n", fileName, reader.gameNumber, gameLine,
                                     replay->error);
            continue;
        }
        ++gamesRead;
        linesRead += replay->lineCount;
        for (uint64_t key : lines.keys()) {
            Tally& tally = tallies[key];
            ++tally.lines;
            tally.points += moverPoints(key, reader.result);
        }
    }
    return true;
}

void BookBuilder::addLine(const HashKey* keys, int count, int result) {
    GameLines line;
    line.lineEnd(keys, std::min(count, std::clamp(options.maxPly, 0, MaxBookPly) + 1));
    ++linesRead;
    for (uint64_t key : line.keys()) {
        Tally& tally = tallies[key];
        ++tally.lines;
        tally.points += moverPoints(key, result);
    }
}

std::vector<WrittenRecord> BookBuilder::records() const {
    struct Kept {
        uint64_t key;
        uint64_t weight;
    };
    std::vector<Kept> kept;
    uint64_t heaviest = 0;
    for (const auto& [key, tally] : tallies) {
        if (tally.lines < uint64_t(std::max(options.minCount, 1))) continue;
        const uint64_t weight = options.weightByResults ? tally.points : tally.lines;
        kept.push_back({key, weight});
        heaviest = std::max(heaviest, weight);
    }
    std::sort(kept.begin(), kept.end(),
              [](const Kept& a, const Kept& b) { return fileOrder(a.key) < fileOrder(b.key); });

    std::vector<WrittenRecord> out(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        uint64_t weight = kept[i].weight;
        // Scaling keeps the ratios between the moves of a position; a weight that
        // was positive stays positive, so no move loses its place in the book.
        if (heaviest > uint64_t(MaxBookWeight) && weight > 0)
            weight = std::max<uint64_t>(1, uint64_t((unsigned __int128)weight * MaxBookWeight / heaviest));
        std::memset(out[i].bytes, 0, sizeof out[i].bytes);
        putLittleEndian(out[i].bytes, kept[i].key, 8);
        putLittleEndian(out[i].bytes + 8, weight, 4);
    }
    return out;
}

bool BookBuilder::writeBook(const char* fileName, int* recordCount) const {
    const std::vector<WrittenRecord> book = records();
    const std::string temporary = std::string(fileName) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(book.data(), sizeof(WrittenRecord), book.size(), file) == book.size();
    written = std::fflush(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), fileName) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    if (recordCount) *recordCount = int(book.size());
    return true;
}

}  // namespace book
