#include "egtb/datacomp_writer.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <vector>

#include "egtb/datacomp.h"

namespace egtb {

const char ProjectBanner[61] = "Talvo tablebase compressor: 8192-byte blocks, 24 distances\r\n";
static_assert(sizeof(ProjectBanner) == 61);

namespace {

constexpr int Symbols = 1024;
// Short distances catch runs and repeated patterns; the long ones catch repeats
// of whole stretches of a table.
constexpr uint32_t Distances[CopyDistances] = {1,  2,  3,  4,  5,  6,   7,   8,   9,    10,   12,   16,
                                               20, 24, 32, 48, 64, 96, 128, 256, 512, 1024, 2048, 4096};

struct Token {
    uint16_t symbol;
    uint8_t extraBits;
    uint32_t extra;
};

// Appends bits most significant first.
class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ % 8 == 0) bytes.push_back(0);
            if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> (used_ % 8));
            ++used_;
        }
    }
    std::vector<uint8_t> bytes;

private:
    size_t used_ = 0;
};

// A copy of length bytes as its length code and extra bits.
Token copyToken(int distanceIndex, uint32_t length) {
    Token t{};
    int e;
    if (length <= 15) {
        e = int(length) - 1;
    } else {
        int k = 31 - __builtin_clz(length - 14);  // 2^k <= length - 14 < 2^(k+1)
        e = k <= 16 ? 14 + k : 31;
        t.extraBits = uint8_t(k);
        t.extra = length - (1u << k) - 14;
    }
    t.symbol = uint16_t(256 + distanceIndex * 32 + e);
    return t;
}

// Greedy parse of one block: at each byte the longest copy from any distance,
// else a literal.
std::vector<Token> parseBlock(const uint8_t* block, uint32_t size) {
    std::vector<Token> tokens;
    uint32_t p = 0;
    while (p < size) {
        uint32_t bestLength = 0;
        int bestIndex = 0;
        for (int d = 0; d < CopyDistances; ++d) {
            const uint32_t distance = Distances[d];
            if (distance > p) break;
            uint32_t length = 0;
            while (p + length < size && block[p + length] == block[p + length - distance]) ++length;
            if (length > bestLength) {
                bestLength = length;
                bestIndex = d;
            }
        }
        if (bestLength >= 2) {
            tokens.push_back(copyToken(bestIndex, bestLength));
            p += bestLength;
        } else {
            tokens.push_back({uint16_t(block[p]), 0, 0});
            ++p;
        }
    }
    return tokens;
}

// Huffman code lengths for the counts, none longer than 31 bits. An unused
// symbol gets 0; a lone used symbol gets 1 (it is then coded with no bits).
std::vector<uint8_t> codeLengths(std::vector<uint64_t> counts) {
    const size_t n = counts.size();
    std::vector<uint8_t> lengths(n, 0);
    for (;;) {
        struct Node {
            uint64_t weight;
            int index;
        };
        auto heavier = [](const Node& a, const Node& b) { return a.weight > b.weight || (a.weight == b.weight && a.index > b.index); };
        std::priority_queue<Node, std::vector<Node>, decltype(heavier)> queue(heavier);
        std::vector<int> parent(2 * n, -1);
        int nodes = int(n);
        for (size_t s = 0; s < n; ++s)
            if (counts[s]) queue.push({counts[s], int(s)});
        if (queue.empty()) return lengths;
        if (queue.size() == 1) {
            lengths[size_t(queue.top().index)] = 1;
            return lengths;
        }
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            parent[size_t(a.index)] = parent[size_t(b.index)] = nodes;
            queue.push({a.weight + b.weight, nodes++});
        }
        int longest = 0;
        for (size_t s = 0; s < n; ++s) {
            if (!counts[s]) continue;
            int depth = 0;
            for (int x = int(s); parent[size_t(x)] >= 0; x = parent[size_t(x)]) ++depth;
            lengths[s] = uint8_t(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= 31) return lengths;
        for (uint64_t& c : counts)
            if (c) c = (c + 1) / 2;  // flatten and try again
    }
}

// Canonical codes: by length, then by symbol, each the next binary number.
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
    std::vector<uint32_t> codes(lengths.size(), 0);
    uint32_t code = 0;
    for (int length = 1; length <= 31; ++length, code <<= 1)
        for (size_t s = 0; s < lengths.size(); ++s)
            if (lengths[s] == length) codes[s] = code++;
    return codes;
}

struct Code {
    std::vector<uint8_t> lengths;
    std::vector<uint32_t> codes;
    bool single = false;  // one symbol, written with no bits
    explicit Code(const std::vector<uint64_t>& counts) : lengths(codeLengths(counts)), codes(canonicalCodes(lengths)) {
        single = std::count_if(lengths.begin(), lengths.end(), [](uint8_t l) { return l != 0; }) == 1;
    }
    void put(BitWriter& out, int symbol) const {
        if (!single) out.put(codes[size_t(symbol)], lengths[size_t(symbol)]);
    }
};

// A short list of lengths: width, then each length, a run of zeros after a zero.
void putShortLengths(BitWriter& out, const std::vector<uint8_t>& lengths) {
    if (std::all_of(lengths.begin(), lengths.end(), [](uint8_t l) { return l == 0; })) {
        out.put(1, 1);
        return;
    }
    out.put(0, 1);
    const int longest = *std::max_element(lengths.begin(), lengths.end());
    int width = 1;
    while ((1 << width) <= longest) ++width;
    out.put(uint32_t(width), 5);
    for (size_t i = 0; i < lengths.size();) {
        out.put(lengths[i], width);
        if (lengths[i++] != 0) continue;
        uint32_t zeros = 0;
        while (zeros < 15 && i + zeros < lengths.size() && lengths[i + zeros] == 0) ++zeros;
        out.put(zeros, 4);
        i += zeros;
    }
}

// The 1024 main lengths through the small code: a length, or a run of one
// length with its count coded separately.
void putMainLengths(BitWriter& out, const std::vector<uint8_t>& lengths) {
    if (std::all_of(lengths.begin(), lengths.end(), [](uint8_t l) { return l == 0; })) {
        out.put(1, 1);
        return;
    }
    struct Item {
        int symbol;      // 0..31 a length, 32..63 a run of symbol - 32
        int runSymbol;   // the run's count symbol, -1 for none
        int extraBits;
        uint32_t extra;
    };
    std::vector<Item> items;
    for (size_t i = 0; i < lengths.size();) {
        size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == lengths[i]) ++run;
        if (run < 2) {
            items.push_back({lengths[i], -1, 0, 0});
            i += 1;
            continue;
        }
        Item item{32 + lengths[i], 0, 0, 0};
        if (run <= 33) {
            item.runSymbol = int(run) - 2;
        } else if (run == 34) {
            item.runSymbol = 32;
        } else {
            const int k = 31 - __builtin_clz(uint32_t(run - 33));  // 2^k <= run - 33
            item.runSymbol = 32 + k;
            item.extraBits = k;
            item.extra = uint32_t(run - 33) - (1u << k);
        }
        items.push_back(item);
        i += run;
    }
    std::vector<uint64_t> lengthCounts(64, 0), runCounts(64, 0);
    for (const Item& item : items) {
        ++lengthCounts[size_t(item.symbol)];
        if (item.runSymbol >= 0) ++runCounts[size_t(item.runSymbol)];
    }
    const Code lengthCode(lengthCounts), runCode(runCounts);
    std::vector<uint8_t> small(lengthCode.lengths);
    small.insert(small.end(), runCode.lengths.begin(), runCode.lengths.end());
    out.put(0, 1);
    putShortLengths(out, small);
    for (const Item& item : items) {
        lengthCode.put(out, item.symbol);
        if (item.runSymbol < 0) continue;
        runCode.put(out, item.runSymbol);
        out.put(item.extra, item.extraBits);
    }
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = uint8_t(value >> 24);
    out[at + 1] = uint8_t(value >> 16);
    out[at + 2] = uint8_t(value >> 8);
    out[at + 3] = uint8_t(value);
}

}  // namespace

bool writeCompressedTable(const uint8_t* data, size_t size, FILE* out, int log2Block) {
    const uint32_t blockSize = 1u << log2Block;
    const uint32_t n = uint32_t((size + blockSize - 1) / blockSize);

    // One code for the whole file, from the symbols of every block.
    std::vector<std::vector<Token>> parsed(n);
    std::vector<uint64_t> counts(Symbols, 0);
    for (uint32_t b = 0; b < n; ++b) {
        const uint32_t length = uint32_t(std::min<size_t>(blockSize, size - size_t(b) * blockSize));
        parsed[b] = parseBlock(data + size_t(b) * blockSize, length);
        for (const Token& t : parsed[b]) ++counts[t.symbol];
    }
    const Code code(counts);

    // Each block coded; stored as it is when coding does not make it smaller.
    std::vector<std::vector<uint8_t>> blocks(n);
    for (uint32_t b = 0; b < n; ++b) {
        const uint8_t* raw = data + size_t(b) * blockSize;
        const uint32_t length = uint32_t(std::min<size_t>(blockSize, size - size_t(b) * blockSize));
        BitWriter bits;
        for (const Token& t : parsed[b]) {
            code.put(bits, t.symbol);
            bits.put(t.extra, t.extraBits);
        }
        if (bits.bytes.size() >= length || bits.bytes.empty()) blocks[b].assign(raw, raw + length);
        else blocks[b] = std::move(bits.bytes);
    }

    // The header: banner, sizes, checksums per block, the two bit streams.
    std::vector<uint8_t> header(80 + 8 * size_t(n), 0);
    std::memcpy(header.data(), ProjectBanner, 60);
    header[70] = uint8_t(log2Block);
    header[71] = 24;
    put32(header, 72, n);
    put32(header, 76, 0x004001F5);
    for (uint32_t b = 0; b < n; ++b) {
        const uint32_t length = uint32_t(std::min<size_t>(blockSize, size - size_t(b) * blockSize));
        put32(header, 80 + 8 * b, headerChecksum(data + size_t(b) * blockSize, length));
        put32(header, 84 + 8 * b, headerChecksum(blocks[b].data(), blocks[b].size()));
    }
    BitWriter streams;
    for (uint32_t b = 0; b < n; ++b) streams.put(uint32_t(blocks[b].size()) & (blockSize - 1), log2Block);
    const uint32_t last = n ? uint32_t(size - size_t(n - 1) * blockSize) : 0;
    streams.put(last & (blockSize - 1), log2Block);
    for (uint32_t distance : Distances) streams.put(distance, log2Block);
    BitWriter lengthStream;
    putMainLengths(lengthStream, code.lengths);
    header.insert(header.end(), streams.bytes.begin(), streams.bytes.end());
    header.insert(header.end(), lengthStream.bytes.begin(), lengthStream.bytes.end());
    put32(header, 64, uint32_t(header.size() + 4));
    header.resize(header.size() + 4);
    put32(header, header.size() - 4, headerChecksum(header.data(), header.size() - 4));

    if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) return false;
    for (const std::vector<uint8_t>& block : blocks)
        if (std::fwrite(block.data(), 1, block.size(), out) != block.size()) return false;
    return true;
}

}  // namespace egtb
