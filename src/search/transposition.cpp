#include "search/transposition.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/platform.h"

namespace search {

using board::HashKey;
using board::KingCaptureScore;
using board::MateBound;
using board::Move;

// One entry: the key, score 16 | move 16 | bound 8 | generation 8 | depth 16.
// The move keeps bits 0-14 of the move word (from, to, promotion). The depth is the
// remaining depth (depth limit - ply, negative in the quiescence part), raised by 64
// for mate scores that can no longer change.
struct Entry {
    uint32_t keyLow;
    uint32_t keyHigh;
    int16_t score;
    uint16_t move;
    uint8_t bound;
    uint8_t generation;
    int16_t depth;
};

// An entry as the table holds it, 16 bytes: the data word, and the key word with
// the data folded in. Search threads share the table and write it without locks;
// a slot written by two of them at once holds words that no longer fold back to a
// key, so it reads as another position's (relaxed atomic words: no torn word, no
// data race).
struct StoredEntry {
    std::atomic<uint64_t> check;
    std::atomic<uint64_t> data;
};
static_assert(sizeof(StoredEntry) == 16);

// Entry 1 is kept by depth within a generation, entry 2 always replaced.
struct TransTableState::Bucket {
    StoredEntry first;
    StoredEntry second;
};
static_assert(sizeof(TransTableState::Bucket) == 32);

namespace {

bool isKingCapture(int score) { return score >= KingCaptureScore || score <= -KingCaptureScore; }


constexpr uint16_t MoveBits = 0x7FFF;

// One compare of the whole key: the outcome follows no pattern worth a second guess.
bool holds(const Entry& e, HashKey key) { return ((e.keyLow ^ key.low) | (e.keyHigh ^ key.high)) == 0; }

uint64_t dataWord(const Entry& e) {
    return uint64_t(uint16_t(e.score)) | uint64_t(e.move) << 16 | uint64_t(e.bound) << 32 |
           uint64_t(e.generation) << 40 | uint64_t(uint16_t(e.depth)) << 48;
}

Entry load(const StoredEntry& s) {
    const uint64_t data = s.data.load(std::memory_order_relaxed);
    const uint64_t key = s.check.load(std::memory_order_relaxed) ^ data;
    return {uint32_t(key), uint32_t(key >> 32), int16_t(uint16_t(data)), uint16_t(data >> 16), uint8_t(data >> 32),
            uint8_t(data >> 40), int16_t(uint16_t(data >> 48))};
}

void save(StoredEntry& s, const Entry& e) {
    const uint64_t data = dataWord(e);
    s.check.store((uint64_t(e.keyHigh) << 32 | e.keyLow) ^ data, std::memory_order_relaxed);
    s.data.store(data, std::memory_order_relaxed);
}

// The stored words are 16 bits wide; the search never comes near these limits,
// but a wrapped value would turn into a wrong score or a wrong depth.
int16_t narrow(int value) {
    value = value > 32767 ? 32767 : value;
    return int16_t(value < -32768 ? -32768 : value);
}

// The bound type of a score found against bound: exact, upper or lower.
uint8_t boundType(int score, int bound) {
    static_assert(BoundExact == 1 && BoundUpper == 2 && BoundLower == 3);
    return uint8_t(1 + int(score < bound) + 2 * int(score > bound));
}

}  // namespace

uint32_t bucketCountFor(int kilobytes) {
    if (kilobytes < 0) return 0;
    if (kilobytes > MaxTableKilobytes) kilobytes = MaxTableKilobytes;
    uint32_t wanted = uint32_t(kilobytes) * 1024u / uint32_t(sizeof(TransTableState::Bucket));
    uint32_t buckets = 1;
    while (buckets <= wanted / 2) buckets *= 2;
    return buckets;
}

int TransTableState::allocate(int kilobytes) {
    if (kilobytes != 0) {
        platform::releaseLargeBlock(table);
        table = nullptr;
        mask = 0;
        uint32_t buckets = bucketCountFor(kilobytes);
        if (buckets > 0) {
            size_t bytes = size_t(buckets) * sizeof(Bucket);
            table = static_cast<Bucket*>(platform::allocateLargeBlock(bytes));
            if (table) {
                std::memset(static_cast<void*>(table), 0, bytes);  // no search runs: plain bytes
                mask = buckets - 1;
                generation = 1;
            }
        }
        if (kilobytes > MaxTableKilobytes) kilobytes = MaxTableKilobytes;
    }
    return table ? kilobytes : -1;
}

int TransTableState::clear() {
    if (!table) return 0;
    std::memset(static_cast<void*>(table), 0, (size_t(mask) + 1) * sizeof(Bucket));  // no search runs
    generation = 1;
    return 1;
}

void TransTableState::nextGeneration() { generation = generation == 255 ? 1 : uint8_t(generation + 1); }

void TransTableState::store(HashKey key, int bound, int ply, int depthLimit, int score, Move move) {
    if (!table) return;

    // A mate found here is stored as the distance from this node. A mate score that
    // is exact, or a bound proven in the winning direction, holds at any depth.
    // Taking the king is no mate at a distance: it belongs to this position alone
    // and reads the same from any ply.
    if (isKingCapture(score)) {
        depthLimit += 64;
    } else if (score > MateBound) {
        score += ply;
        bound += ply;
        if (score >= bound) depthLimit += 64;
    } else if (score < -MateBound) {
        score -= ply;
        bound -= ply;
        if (score <= bound) depthLimit += 64;
    }
    int remaining = depthLimit - ply;

    Bucket& bucket = table[key.low & mask];
    StoredEntry* slot = &bucket.second;
    const Entry first = load(bucket.first);
    if ((first.generation != generation) | (remaining >= first.depth)) {
        // The displaced result survives in the always-replace slot.
        if (!holds(first, key)) save(bucket.second, first);
        slot = &bucket.first;
    }
    const Entry fresh{key.low,
                      key.high,
                      narrow(score),
                      uint16_t(move & MoveBits),
                      boundType(score, bound),
                      generation,
                      narrow(remaining)};
    save(*slot, fresh);
}

int TransTableState::probe(HashKey key, int bound, int ply, int depthLimit, int* score, Move* move) const {
    if (!table) return 0;
    const Bucket& bucket = table[key.low & mask];
    const Entry first = load(bucket.first), second = load(bucket.second);
    const bool inFirst = holds(first, key);
    const Entry found = inFirst ? first : second;
    if (!inFirst && !holds(second, key)) return 0;
    const Entry* e = &found;

    int value = e->score;
    if (!isKingCapture(value)) {
        if (value > MateBound)
            value -= ply;
        else if (value < -MateBound)
            value += ply;
    }
    *move = e->move;
    const bool usable = (e->depth >= depthLimit - ply) &
                        ((e->bound == BoundExact) | ((e->bound == BoundLower) & (value > bound)) |
                         ((e->bound == BoundUpper) & (value < bound)));
    if (!usable) return 0;
    *score = value;
    return 1;
}

int TransTableState::storeLearned(int score, HashKey key, int remainingDepth, bool exact) {
    if (!table) return 0;
    StoredEntry& slot = table[key.low & mask].first;
    const Entry e = load(slot);
    // An earlier learned result for the same position that looked deeper stays.
    if (remainingDepth < e.depth && holds(e, key) && e.generation == 0) return 0;
    save(slot, {key.low, key.high, narrow(score), 0, uint8_t(exact ? BoundExact : BoundLower), 0,
                narrow(remainingDepth)});
    return 1;
}

bool TransTableState::isConsistent() const {
    // A table of a power of two buckets that the mask covers exactly; generation 0
    // belongs to learned entries alone.
    if (!table) return mask == 0;
    if ((mask & (mask + 1)) != 0 || generation == 0) return false;
    // Every entry empty, or filed in the bucket of its key with a bound and a move
    // it could have been given.
    for (uint32_t i = 0; i <= mask; ++i)
        for (const StoredEntry* stored : {&table[i].first, &table[i].second}) {
            const Entry e = load(*stored);
            if (e.bound == 0) {
                if (e.keyLow != 0 || e.keyHigh != 0 || e.move != 0) return false;
                continue;
            }
            if (e.bound > BoundLower || (e.keyLow & mask) != i || e.move > MoveBits) return false;
        }
    return true;
}

TransTableState::~TransTableState() {
    platform::releaseLargeBlock(table);
    table = nullptr;
}

}  // namespace search
