#include "egtb/datacomp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"

namespace egtb {

constinit DecodeStateData* DecodeState = nullptr;

namespace {

constexpr int16_t NoSymbol = INT16_MIN;  // a table entry that decodes nothing
constexpr uint32_t FixedHeaderWord = 0x004001F5;
constexpr int SmallLookupBits = 8;
constexpr int SmallTableEntries = 256 + 128;

// The checksum table, built by the compiler. Unlike the common CRC-32 table, a step
// XORs the constant in when the bit shifted out is 0.
struct ChecksumTableData {
    uint32_t entries[256];
};
constexpr ChecksumTableData buildChecksumTable() {
    ChecksumTableData table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            const uint32_t out = c & 1;
            c >>= 1;
            if (out == 0) c ^= 0xEDB88320u;
        }
        table.entries[i] = c;
    }
    return table;
}
constexpr ChecksumTableData ChecksumTable = buildChecksumTable();

uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Reads a byte buffer as a bit stream, most significant bit first. Past the end it
// delivers zero bits and remembers that it ran over, so a truncated or corrupt
// stream is caught without ever reading outside the buffer.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size, size_t startBit = 0) : data_(data), size_(size), bit_(startBit) {}

    uint32_t peek(int n) const {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = value << 1 | bitAt(bit_ + size_t(i));
        return value;
    }
    uint32_t get(int n) {
        const uint32_t value = peek(n);
        bit_ += size_t(n);
        return value;
    }
    void skip(int n) { bit_ += size_t(n); }
    bool overrun() const { return bit_ > 8 * size_; }
    size_t position() const { return bit_; }

private:
    uint32_t bitAt(size_t bit) const { return bit / 8 < size_ ? (data_[bit / 8] >> (7 - bit % 8)) & 1 : 0; }
    const uint8_t* data_;
    size_t size_;
    size_t bit_;
};

// A decode table: 2^lookupBits first-level entries, then tree pairs for longer
// codes. A first-level entry is symbol * 32 + code length; a longer code's entry is
// -(m + 1) for the pair at tree[m], tree[m + 1] (next bit 0, 1), whose entries are
// again such pointers or the symbol itself.
struct DecodeTable {
    int16_t* entries;
    int lookupBits;
    int capacity;
};

bool buildDecodeTable(const uint8_t* lengths, int symbols, DecodeTable table) {
    const int first = 1 << table.lookupBits;
    for (int i = 0; i < table.capacity; ++i) table.entries[i] = NoSymbol;
    int used = 0, single = -1;
    uint64_t space = 0;  // the code space the lengths take, in units of 2^-32
    for (int s = 0; s < symbols; ++s) {
        if (lengths[s] > 31) return false;
        if (lengths[s] == 0) continue;
        ++used;
        single = s;
        space += uint64_t(1) << (32 - lengths[s]);
    }
    if (used == 0) return true;  // decodes nothing
    if (used == 1) {
        // One symbol: it is decoded without taking any bit.
        if (lengths[single] != 1) return false;
        for (int i = 0; i < first; ++i) table.entries[i] = int16_t(single * 32);
        return true;
    }
    if (space != (uint64_t(1) << 32)) return false;  // the codes must fill the space exactly

    int nextPair = 0;
    const int treeSize = table.capacity - first;
    int16_t* tree = table.entries + first;
    uint32_t code = 0;
    for (int length = 1; length <= 31; ++length, code <<= 1) {
        for (int s = 0; s < symbols; ++s) {
            if (lengths[s] != length) continue;
            if (length <= table.lookupBits) {
                const uint32_t from = code << (table.lookupBits - length), count = 1u << (table.lookupBits - length);
                for (uint32_t i = 0; i < count; ++i) table.entries[from + i] = int16_t(s * 32 + length);
            } else {
                int16_t* slot = &table.entries[code >> (length - table.lookupBits)];
                for (int bit = length - table.lookupBits - 1; bit >= 0; --bit) {
                    if (*slot == NoSymbol) {
                        if (nextPair + 2 > treeSize) return false;
                        *slot = int16_t(-(nextPair + 1));
                        nextPair += 2;
                    } else if (*slot >= 0) {
                        return false;  // a shorter code is a prefix of this one
                    }
                    slot = &tree[-*slot - 1 + int((code >> bit) & 1)];
                }
                if (*slot != NoSymbol) return false;
                *slot = int16_t(s);
            }
            ++code;
        }
    }
    return true;
}

// The next symbol, or -1 when the bits name none.
int decodeSymbol(BitReader& reader, const DecodeTable& table) {
    const int16_t entry = table.entries[reader.peek(table.lookupBits)];
    if (entry == NoSymbol) return -1;
    if (entry >= 0) {
        reader.skip(entry & 31);
        return entry >> 5;
    }
    reader.skip(table.lookupBits);
    const int16_t* tree = table.entries + (1 << table.lookupBits);
    int16_t node = entry;
    for (int depth = 0; node < 0; ++depth) {
        if (node == NoSymbol || depth > 31) return -1;
        node = tree[-node - 1 + int(reader.get(1))];
    }
    return node;
}

// A list of code lengths: a flag for "all zero", then for a short list a width and
// the lengths with runs of zeros, and for the long list a small code over lengths
// and runs of equal lengths.
bool readLengths(BitReader& reader, uint8_t* lengths, int count) {
    std::memset(lengths, 0, size_t(count));
    if (reader.get(1) == 1) return !reader.overrun();
    if (count <= 128) {
        const int width = int(reader.get(5));
        for (int i = 0; i < count;) {
            const uint32_t length = reader.get(width);
            if (length > 255) return false;
            lengths[i++] = uint8_t(length);
            if (length == 0) {
                const int zeros = int(reader.get(4));
                if (i + zeros > count) return false;
                i += zeros;  // already zero
            }
            if (reader.overrun()) return false;
        }
        return true;
    }

    uint8_t small[128];
    if (!readLengths(reader, small, 128)) return false;
    int16_t lengthEntries[SmallTableEntries], runEntries[SmallTableEntries];
    const DecodeTable lengthCode{lengthEntries, SmallLookupBits, SmallTableEntries};
    const DecodeTable runCode{runEntries, SmallLookupBits, SmallTableEntries};
    if (!buildDecodeTable(small, 64, lengthCode) || !buildDecodeTable(small + 64, 64, runCode)) return false;

    for (int i = 0; i < count;) {
        const int d = decodeSymbol(reader, lengthCode);
        if (d < 0 || reader.overrun()) return false;
        if (d < 32) {
            lengths[i++] = uint8_t(d);
            continue;
        }
        const int f = decodeSymbol(reader, runCode);
        int run;
        if (f < 0) return false;
        if (f < 32) run = f + 2;
        else if (f == 32) run = 34;
        else if (f <= 48) run = (1 << (f - 32)) + int(reader.get(f - 32)) + 33;
        else return false;
        if (run > count - i || reader.overrun()) return false;
        std::memset(lengths + i, d - 32, size_t(run));
        i += run;
    }
    return true;
}

// The kinds of header failure, in the words registration prints.
const char* failureText(HeaderStatus status) {
    switch (status) {
        case HeaderStatus::ReadError: return "read error\n";
        case HeaderStatus::OutOfMemory: return "out of memory\n";
        default: return "file broken\n";
    }
}

HeaderStatus parseHeader(const uint8_t* header, uint32_t length, CompressedTableInfo** result) {
    // The checksum closes the header; nothing in it is trusted before it matches.
    if (headerChecksum(header, length - 4) != bigEndian32(header + length - 4)) return HeaderStatus::FileBroken;
    const int g = header[70];
    const uint32_t n = bigEndian32(header + 72);
    const uint64_t streamStart = 80 + 8 * uint64_t(n);
    const uint64_t streamBits = (uint64_t(n) + 25) * uint64_t(g);
    if (streamStart + (streamBits + 7) / 8 > uint64_t(length) - 4) return HeaderStatus::FileBroken;

    auto* info = static_cast<CompressedTableInfo*>(std::malloc(sizeof(CompressedTableInfo)));
    uint32_t* offsets = static_cast<uint32_t*>(std::malloc((size_t(n) + 1) * sizeof(uint32_t)));
    if (!info || !offsets) {
        std::free(info);
        std::free(offsets);
        return HeaderStatus::OutOfMemory;
    }
    info->blockOffsets = offsets;
    info->log2BlockSize = g;
    info->blockSize = 1u << g;
    info->blockCount = n;

    // Bit stream 1: block sizes (0 stands for a whole block), the last block's
    // uncompressed size, then the 24 copy distances.
    const size_t bodyBytes = length - 4;
    BitReader sizes(header, bodyBytes, size_t(streamStart) * 8);
    uint64_t offset = length;
    for (uint32_t i = 0; i <= n; ++i) {
        uint32_t size = sizes.get(g);
        if (size == 0) size = 1u << g;
        if (i == n) {
            info->lastBlockSize = size;
        } else {
            offsets[i] = uint32_t(offset);
            offset += size;
            if (offset > 0xFFFFFFFFull) {
                releaseCompressedInfo(info);
                return HeaderStatus::FileBroken;
            }
        }
    }
    offsets[n] = uint32_t(offset);
    for (uint32_t& distance : info->distances) distance = sizes.get(g);

    // Bit stream 2, from the next whole byte: the 1024 code lengths.
    BitReader lengthsReader(header, bodyBytes, (sizes.position() + 7) / 8 * 8);
    uint8_t lengths[1024];
    if (!readLengths(lengthsReader, lengths, 1024) || lengthsReader.overrun() ||
        !buildDecodeTable(lengths, 1024, {info->decodeTable, DecodeLookupBits, DecodeTableEntries})) {
        releaseCompressedInfo(info);
        return HeaderStatus::FileBroken;
    }
    *result = info;
    return HeaderStatus::Ok;
}

}  // namespace

bool signatureMatches(const uint8_t* first64) {
    for (int i = 0; i < 58; ++i)
        if (first64[i] < 0x20 || first64[i] > 0x7E) return false;
    if (first64[58] != '\r' || first64[59] != '\n') return false;
    return first64[60] == 0 && first64[61] == 0 && first64[62] == 0 && first64[63] == 0;
}

uint32_t headerChecksum(const uint8_t* data, size_t length) {
    uint32_t c = 0;
    for (size_t i = 0; i < length; ++i) c = ChecksumTable.entries[(c ^ data[i]) & 255] ^ (c >> 8);
    return c;
}

HeaderStatus readCompressedHeader(FILE* file, CompressedTableInfo** info) {
    *info = nullptr;
    uint8_t start[80];
    if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(start, 1, 80, file) != 80) return HeaderStatus::ReadError;
    if (!signatureMatches(start)) return HeaderStatus::ReadError;
    const uint32_t length = bigEndian32(start + 64);
    if (start[70] > 16 || length < 84) return HeaderStatus::FileBroken;
    if (start[71] != 24) return HeaderStatus::FileBroken;
    if (bigEndian32(start + 76) != FixedHeaderWord) return HeaderStatus::FileBroken;

    // A header longer than the file is a short read; it is caught before a
    // buffer of that size is asked for.
    if (std::fseek(file, 0, SEEK_END) != 0) return HeaderStatus::ReadError;
    const long fileSize = std::ftell(file);
    if (fileSize < 0 || uint64_t(fileSize) < length) return HeaderStatus::ReadError;
    auto* header = static_cast<uint8_t*>(std::malloc(length));
    if (!header) return HeaderStatus::OutOfMemory;
    std::memcpy(header, start, 80);
    if (std::fseek(file, 80, SEEK_SET) != 0 || std::fread(header + 80, 1, length - 80, file) != length - 80) {
        std::free(header);
        return HeaderStatus::ReadError;
    }
    const HeaderStatus status = parseHeader(header, length, info);
    std::free(header);
    return status;
}

void releaseCompressedInfo(CompressedTableInfo* info) {
    if (!info) return;
    std::free(info->blockOffsets);
    std::free(info);
}

CompressedTableInfo* readCompressedHeaderOrExit(FILE* file, const char* name) {
    CompressedTableInfo* info = nullptr;
    const HeaderStatus status = readCompressedHeader(file, &info);
    if (status == HeaderStatus::Ok) return info;
    std::printf("*** Unable to read %s - %s", name, failureText(status));
    platform::exitProcess(1);
}

void allocateDecodeState() {
    if (!DecodeState) DecodeState = static_cast<DecodeStateData*>(std::calloc(1, sizeof(DecodeStateData)));
}

void releaseDecodeState() {
    std::free(DecodeState);
    DecodeState = nullptr;
}

bool decodeBlock(const CompressedTableInfo& info, FILE* file, uint32_t block, uint8_t* out) {
    if (!DecodeState || block >= info.blockCount) return false;
    const uint32_t wanted = block + 1 == info.blockCount ? info.lastBlockSize : info.blockSize;
    const uint32_t compressed = info.blockOffsets[block + 1] - info.blockOffsets[block];
    if (wanted > uint32_t(CompressedBlockSize) || compressed == 0 || compressed > uint32_t(CompressedBlockSize))
        return false;
    uint8_t* input = DecodeState->input;
    if (std::fseek(file, long(info.blockOffsets[block]), SEEK_SET) != 0) return false;
    if (std::fread(input, 1, compressed, file) != compressed) return false;

    // A block that did not shrink is stored as it is.
    if (compressed == wanted) {
        std::memcpy(out, input, wanted);
        return true;
    }

    BitReader reader(input, compressed);
    const DecodeTable table{const_cast<int16_t*>(info.decodeTable), DecodeLookupBits, DecodeTableEntries};
    uint32_t position = 0;
    while (position < wanted) {
        const int symbol = decodeSymbol(reader, table);
        if (symbol < 0) return false;
        if (symbol < 256) {
            out[position++] = uint8_t(symbol);
        } else {
            // A copy: one of 24 distances back, a length code with extra bits for
            // the long lengths.
            const uint32_t distance = info.distances[(symbol - 256) / 32];
            const int e = (symbol - 256) % 32;
            uint32_t length;
            if (e <= 14) {
                length = uint32_t(e) + 1;
            } else {
                const int k = e <= 30 ? e - 14 : 17;
                length = (1u << k) + reader.get(k) + 14;
            }
            if (distance == 0 || distance > position) return false;
            if (length > wanted - position) length = wanted - position;  // cut at the block's end
            for (uint32_t i = 0; i < length; ++i, ++position) out[position] = out[position - distance];
        }
        if (reader.overrun()) return false;
    }
    return true;
}

}  // namespace egtb
