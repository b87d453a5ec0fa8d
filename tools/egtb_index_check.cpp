// talvo-tools egtb index-check [TABLE...] [-n SAMPLES]: walks legal positions through
// each table side's index function and checks what the file format promises:
//   - every legal position's index lies below the side's size;
//   - positions that the format's symmetries make equal get equal indices (all eight
//     board symmetries without pawns, except that with both kings on one long
//     diagonal the two mirror images in it may keep two indices; the left-right
//     mirror with pawns; and the same position with the colours exchanged);
//   - with three or four men, walked exhaustively, no two positions of different
//     symmetry classes share an index.
// Five-man tables are checked on a random sample (with the same collision test among
// the sampled positions), plus every placement of the men for the king pairs at the
// far end of the pair order, where the largest indices lie.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "egtb/indexing.h"
#include "egtb/registry.h"
#include "egtb_board.h"

namespace egtb_tools {

namespace {

// The board symmetries as square maps: the four mirrors, each with and without the
// reflection in the a1-h8 diagonal.
int transform(int g, int square) {
    int s = square ^ ((g & 1) ? 7 : 0) ^ ((g & 2) ? 56 : 0);
    if (g & 4) s = (s & 7) << 3 | s >> 3;
    return s;
}
int reflectAntiDiagonal(int square) { return (7 - (square & 7)) << 3 | (7 - (square >> 3)); }

uint64_t nextRandom(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

class SideChecker {
   public:
    SideChecker(int table, int side, bool exhaustive)
        : m_(materialOf(table)),
          side_(side),
          exhaustive_(exhaustive),
          size_(egtb::TableList[table].size[side]),
          function_(egtb::indexFunctionFor(table, side)) {
        pawns_ = m_.hasPawns(0) || m_.hasPawns(1);
        if (exhaustive_) owner_.assign(size_, 0);
    }

    void checkAllPositions();
    void checkSample(int samples);
    void checkFarPairs();
    bool report(const char* name) const;

   private:
    uint32_t indexOf(const int* sq, int ep, int flip = 0) const {
        int white[4], black[4];
        for (int i = 0; i < m_.count; ++i) {
            if (i < m_.blackKing())
                white[i] = sq[i];
            else
                black[i - m_.blackKing()] = sq[i];
        }
        return function_(white, black, ep, flip);
    }
    // Squares of equal men sorted, six bits per man, then the en passant square.
    uint64_t encode(const int* sq, int ep) const {
        int s[5];
        std::memcpy(s, sq, sizeof s);
        for (int i = 0; i + 1 < m_.count; ++i)
            if (m_.piece[i] == m_.piece[i + 1] && m_.colour[i] == m_.colour[i + 1] && s[i] > s[i + 1])
                std::swap(s[i], s[i + 1]);
        uint64_t key = uint64_t(ep);
        for (int i = 0; i < m_.count; ++i) key = key << 6 | uint64_t(s[i]);
        return key;
    }
    int groupSize() const { return pawns_ ? 2 : 8; }
    void image(int g, const int* sq, int ep, int* out, int& outEp) const {
        for (int i = 0; i < m_.count; ++i) out[i] = transform(g, sq[i]);
        outEp = ep == 64 ? 64 : transform(g, ep);
    }
    uint64_t classKey(const int* sq, int ep) const {
        uint64_t best = ~uint64_t(0);
        int t[5], te;
        for (int g = 0; g < groupSize(); ++g) {
            image(g, sq, ep, t, te);
            best = std::min(best, encode(t, te));
        }
        return best;
    }
    void check(const int* sq, int ep, bool symmetries);
    void checkWithEnPassant(const int* sq, bool symmetries);
    void fail(const char* what, const int* sq, int ep) {
        if (failures_++ < 5) std::printf("  %s: %s\n", what, fenOf(m_, sq, side_, ep).c_str());
    }

    Material m_;
    int side_;
    bool exhaustive_, pawns_ = false;
    uint32_t size_;
    egtb::IndexFunction function_;
    std::vector<uint32_t> owner_;                     // class key + 1 per index
    std::unordered_map<uint32_t, uint64_t> sampled_;  // index to class key
    uint64_t positions_ = 0;
    uint32_t largest_ = 0;
    int failures_ = 0;
};

void SideChecker::check(const int* sq, int ep, bool symmetries) {
    ++positions_;
    const uint32_t index = indexOf(sq, ep);
    if (index >= size_) {
        fail("index beyond the size", sq, ep);
        return;
    }
    largest_ = std::max(largest_, index);
    if (!symmetries) return;

    // One class, one index: other classes must not land here.
    const uint64_t key = classKey(sq, ep);
    if (exhaustive_) {
        if (owner_[index] == 0)
            owner_[index] = uint32_t(key + 1);
        else if (owner_[index] != uint32_t(key + 1))
            fail("shares its index with another position", sq, ep);
    } else {
        auto [at, fresh] = sampled_.emplace(index, key);
        if (!fresh && at->second != key) fail("shares its index with another position", sq, ep);
    }

    // Symmetric images: walked once per class when every position is visited.
    if (exhaustive_ && encode(sq, ep) != key) return;
    const int K1 = sq[0], K2 = sq[m_.blackKing()];
    const bool mainDiagonal = (K1 & 7) == (K1 >> 3) && (K2 & 7) == (K2 >> 3);
    const bool antiDiagonal = (K1 & 7) + (K1 >> 3) == 7 && (K2 & 7) + (K2 >> 3) == 7;
    uint32_t mirrored = index;
    if (!pawns_ && (mainDiagonal || antiDiagonal)) {
        int t[5];
        for (int i = 0; i < m_.count; ++i)
            t[i] = mainDiagonal ? transform(4, sq[i]) : reflectAntiDiagonal(sq[i]);
        mirrored = indexOf(t, ep);
    }
    int t[5], te;
    for (int g = 1; g < groupSize(); ++g) {
        image(g, sq, ep, t, te);
        const uint32_t other = indexOf(t, te);
        if (other != index && other != mirrored) fail("a symmetric image gets another index", sq, ep);
    }
    // The same position with the colours exchanged, as the probe hands it over.
    if (pawns_) {
        for (int i = 0; i < m_.count; ++i) t[i] = sq[i] ^ 56;
        if (indexOf(t, ep == 64 ? 64 : ep ^ 56, 1) != index)
            fail("colours exchanged give another index", sq, ep);
    }
}

// The position itself and, after a double step of the side not to move, the same
// men with the en passant capture open.
void SideChecker::checkWithEnPassant(const int* sq, bool symmetries) {
    check(sq, 64, symmetries);
    if (!m_.hasPawns(0) || !m_.hasPawns(1)) return;
    for (int i = 0; i < m_.count; ++i) {
        const int target = enPassantTarget(m_, sq, side_, i);
        if (target != 64) check(sq, target, symmetries);
    }
}

void SideChecker::checkAllPositions() {
    const uint64_t placements = uint64_t(1) << (6 * m_.count);
    int sq[5];
    for (uint64_t p = 0; p < placements; ++p) {
        for (int i = 0; i < m_.count; ++i) sq[i] = int(p >> (6 * i)) & 63;
        if (isLegal(m_, sq, side_)) checkWithEnPassant(sq, true);
    }
}

void SideChecker::checkSample(int samples) {
    uint64_t state = 0x9E3779B97F4A7C15ull ^ uint64_t(m_.table * 2 + side_);
    int sq[5];
    for (int n = 0; n < samples;) {
        const uint64_t r = nextRandom(state);
        for (int i = 0; i < m_.count; ++i) sq[i] = int(r >> (6 * i)) & 63;
        if (!isLegal(m_, sq, side_)) continue;
        checkWithEnPassant(sq, true);
        ++n;
    }
}

// The last king pairs of every order: K1 on the d and e files at the board's edges
// or centre, K2 in a corner, with every placement of the other men.
void SideChecker::checkFarPairs() {
    static constexpr int Movers[] = {3, 4, 27, 28, 35, 36, 59, 60};
    static constexpr int Corners[] = {0, 7, 56, 63};
    const int moverKing = side_ == 0 ? 0 : m_.blackKing(), otherKing = side_ == 0 ? m_.blackKing() : 0;
    const int men = m_.count - 2;
    int sq[5];
    for (int k1 : Movers)
        for (int k2 : Corners) {
            sq[moverKing] = k1;
            sq[otherKing] = k2;
            for (uint64_t p = 0; p < (uint64_t(1) << (6 * men)); ++p) {
                for (int i = 0, j = 0; i < m_.count; ++i)
                    if (i != moverKing && i != otherKing) sq[i] = int(p >> (6 * j++)) & 63;
                if (isLegal(m_, sq, side_)) checkWithEnPassant(sq, false);
            }
        }
}

bool SideChecker::report(const char* name) const {
    std::printf("%-6s %s to move  %10llu positions  largest index %10u  size %10u  %s\n", name,
                side_ ? "black" : "white", (unsigned long long)positions_, largest_, size_,
                failures_ ? "FAILED" : "ok");
    return failures_ == 0;
}

}  // namespace

int runIndexCheck(int argc, char** argv) {
    int samples = 1000000;
    std::vector<int> tables;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
            samples = std::atoi(argv[++i]);
            continue;
        }
        const int n = tableNumber(argv[i]);
        if (n == 0) {
            std::fprintf(stderr, "%s: not a table\n", argv[i]);
            return 2;
        }
        tables.push_back(n);
    }
    if (tables.empty())
        for (int n = 1; n <= egtb::TableCount; ++n) tables.push_back(n);

    initBoardTables();
    egtb::buildIndexTables();
    bool ok = true;
    for (int n : tables)
        for (int side = 0; side < 2; ++side) {
            const bool exhaustive = materialOf(n).count <= 4;
            SideChecker checker(n, side, exhaustive);
            if (exhaustive) {
                checker.checkAllPositions();
            } else {
                checker.checkSample(samples);
                checker.checkFarPairs();
            }
            ok = checker.report(egtb::TableList[n].name) && ok;
            std::fflush(stdout);
        }
    std::printf(ok ? "index check passed\n" : "index check FAILED\n");
    return ok ? 0 : 1;
}

}  // namespace egtb_tools
