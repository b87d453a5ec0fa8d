#include "search/transposition.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/platform.h"

namespace search {

using board::HashKey;
using board::KingCaptureScore;
using board::MateBound;
using board::Move;

// One entry, 16 bytes:
//   key low 32 | key high 32 | score 16 | move 16 | bound 8 | generation 8 | depth 16
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
static_assert(sizeof(Entry) == 16);

// Entry 1 is kept by depth within a generation, entry 2 always replaced.
struct TransTableState::Bucket {
    Entry first;
    Entry second;
};
static_assert(sizeof(TransTableState::Bucket) == 32);

namespace {

bool isKingCapture(int score) { return score >= KingCaptureScore || score <= -KingCaptureScore; }


constexpr uint16_t MoveBits = 0x7FFF;

bool holds(const Entry& e, HashKey key) { return e.keyLow == key.low && e.keyHigh == key.high; }

// The stored words are 16 bits wide; the search never comes near these limits,
// but a wrapped value would turn into a wrong score or a wrong depth.
int16_t narrow(int value) {
    if (value > 32767) return 32767;
    if (value < -32768) return -32768;
    return int16_t(value);
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
                std::memset(table, 0, bytes);
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
    std::memset(table, 0, (size_t(mask) + 1) * sizeof(Bucket));
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
    Entry* slot = &bucket.second;
    if (bucket.first.generation != generation || remaining >= bucket.first.depth) {
        // The displaced result survives in the always-replace slot.
        if (!holds(bucket.first, key)) bucket.second = bucket.first;
        slot = &bucket.first;
    }
    slot->keyLow = key.low;
    slot->keyHigh = key.high;
    slot->score = narrow(score);
    slot->bound = uint8_t(score > bound ? BoundLower : score < bound ? BoundUpper : BoundExact);
    slot->depth = narrow(remaining);
    slot->move = uint16_t(move & MoveBits);
    slot->generation = generation;
}

int TransTableState::probe(HashKey key, int bound, int ply, int depthLimit, int* score, Move* move) const {
    if (!table) return 0;
    const Bucket& bucket = table[key.low & mask];
    const Entry* e = holds(bucket.first, key)    ? &bucket.first
                     : holds(bucket.second, key) ? &bucket.second
                                                 : nullptr;
    if (!e) return 0;

    int value = e->score;
    if (!isKingCapture(value)) {
        if (value > MateBound)
            value -= ply;
        else if (value < -MateBound)
            value += ply;
    }
    *move = e->move;
    if (e->depth < depthLimit - ply) return 0;

    bool usable = e->bound == BoundExact || (e->bound == BoundLower && value > bound) ||
                  (e->bound == BoundUpper && value < bound);
    if (!usable) return 0;
    *score = value;
    return 1;
}

int TransTableState::storeLearned(int score, HashKey key, int remainingDepth, bool exact) {
    if (!table) return 0;
    Entry& e = table[key.low & mask].first;
    // An earlier learned result for the same position that looked deeper stays.
    if (remainingDepth < e.depth && holds(e, key) && e.generation == 0) return 0;
    e.keyLow = key.low;
    e.keyHigh = key.high;
    e.score = narrow(score);
    e.depth = narrow(remainingDepth);
    e.move = 0;
    e.generation = 0;
    e.bound = uint8_t(exact ? BoundExact : BoundLower);
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
        for (const Entry* e : {&table[i].first, &table[i].second}) {
            if (e->bound == 0) {
                if (e->keyLow != 0 || e->keyHigh != 0 || e->move != 0) return false;
                continue;
            }
            if (e->bound > BoundLower || (e->keyLow & mask) != i || e->move > MoveBits) return false;
        }
    return true;
}

TransTableState::~TransTableState() {
    platform::releaseLargeBlock(table);
    table = nullptr;
}

}  // namespace search
