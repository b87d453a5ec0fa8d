#include "book/opening_book.h"

#include <sys/types.h>

#include <cstdlib>
#include <cstring>

#include "board/position_record.h"

namespace book {

using board::HashKey;
using board::Move;

namespace {

constexpr int KeyBytes = 8;
constexpr int64_t DrawRange = int64_t(1) << 30;  // two 15-bit draws

void putLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}

uint32_t getLittleEndian(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

// One draw of 0..32767. The book was made for a generator of that range; the C
// library here gives 31 bits, and its low 15 are as good as any.
int32_t draw15() { return std::rand() & 0x7FFF; }

// r = high * 32768 + low, 0 .. 2^30 - 1, the first draw giving the high part.
int64_t draw30() {
    int64_t high = draw15();
    return high * 32768 + draw15();
}

// Largest weight first; equal weights are never exchanged with each other, so
// the file's move order decides among them as this exact procedure leaves it.
void sortByWeight(BookCandidate* c, int n) {
    for (int p = 0; p + 1 < n; ++p)
        for (int q = p + 1; q < n; ++q)
            if (c[q].weight > c[p].weight) {
                const BookCandidate t = c[p];
                c[p] = c[q];
                c[q] = t;
            }
}

}  // namespace

BookRecord recordForKey(HashKey key) {
    BookRecord record{};
    putLittleEndian(record.bytes, key.low);
    putLittleEndian(record.bytes + 4, key.high);
    return record;
}

int32_t recordWeight(const BookRecord& record) { return int32_t(getLittleEndian(record.bytes + 8)); }

void setRecordWeight(BookRecord& record, int32_t weight) { putLittleEndian(record.bytes + 8, uint32_t(weight)); }

void OpeningBookState::open(const char* fileName) {
    close();
    clearCandidates();
    file = std::fopen(fileName, "rb");
    if (!file) return;
    // No buffer: every probe reads the file as it stands, also when it is
    // rewritten or cut short while the engine runs (a buffer would mix old
    // records with new ones). Probes are few, and each reads a few records.
    std::setvbuf(file, nullptr, _IONBF, 0);
    // A trailing partial record is no record.
    if (fseeko(file, 0, SEEK_END) == 0) {
        off_t length = ftello(file);
        if (length > 0) recordCount = int64_t(length) / BookRecordSize;
    }
}

void OpeningBookState::close() {
    if (file) std::fclose(file);
    file = nullptr;
    recordCount = 0;
}

void OpeningBookState::seedRandom(std::time_t t) {
    std::srand(unsigned(t));
    // Two engines started in the same second still part ways soon.
    const int discard = int(uint64_t(t) % 256) + 1;
    for (int i = 0; i < discard; ++i) std::rand();
}

int OpeningBookState::probe(BookRecord& record) {
    if (!file) return 0;
    int64_t low = 0, high = recordCount;
    int64_t mid = high / 2;
    for (;;) {
        BookRecord found;
        if (fseeko(file, off_t(mid * BookRecordSize), SEEK_SET) != 0) return 0;
        if (std::fread(found.bytes, 1, BookRecordSize, file) != size_t(BookRecordSize)) return 0;
        // Plain byte-wise comparison: the order the book is sorted by.
        const int order = std::memcmp(found.bytes, record.bytes, KeyBytes);
        if (order == 0) {
            record = found;
            return 1;
        }
        if (order < 0) {
            if (low == mid) return 0;
            low = mid;
        } else {
            if (high == mid) return 0;
            high = mid;
        }
        mid = (low + high) / 2;
    }
}

void OpeningBookState::clearCandidates() {
    for (BookCandidate& c : candidates) c = BookCandidate{};
    candidateCount = 0;
}

void OpeningBookState::addCandidate(Move move, const BookRecord& record) {
    const int32_t weight = recordWeight(record);
    if (candidateCount >= MaxCandidates || weight <= 0) return;
    candidates[candidateCount++] = BookCandidate{move, weight};
}

Move OpeningBookState::chooseMove() {
    if (candidateCount == 0) return board::NoMove;
    sortByWeight(candidates, candidateCount);

    // Up to 32 weights of up to 2^31 - 1 each: the sum needs more than 32 bits.
    int64_t sum = 0;
    for (int i = 0; i < candidateCount; ++i) sum += candidates[i].weight;
    int64_t r = draw30();
    // A sum beyond the draw's range would never reach the last candidates: two
    // more draws widen it. Books of ordinary weights never come here.
    if (sum > DrawRange) r = r * DrawRange + draw30();
    int64_t d = r % sum;

    int length = std::snprintf(bookLine, sizeof bookLine, "0 0 0 0 (");
    for (int i = 0; i < candidateCount; ++i) {
        const int64_t percent = int64_t(candidates[i].weight) * 100 / sum;
        char share[16];
        if (percent < 1) std::snprintf(share, sizeof share, "<1");
        else std::snprintf(share, sizeof share, "%d", int(percent));
        length += std::snprintf(bookLine + length, sizeof bookLine - size_t(length), "%s%s %s%%", i ? ", " : "",
                                board::moveToText(candidates[i].move), share);
    }
    std::snprintf(bookLine + length, sizeof bookLine - size_t(length), ")");

    for (int i = 0; i < candidateCount; ++i) {
        if (d < candidates[i].weight) return candidates[i].move;
        d -= candidates[i].weight;
    }
    return candidates[0].move;
}

}  // namespace book
