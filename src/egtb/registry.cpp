#include "egtb/registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/platform.h"
#include "board/board.h"
#include "egtb/datacomp.h"
#include "egtb/indexing.h"
#include "egtb/probe.h"

namespace egtb {

using board::Board;

namespace {

template <size_t... N>
constexpr std::array<TableDescriptor, sizeof...(N)> makeDescriptors(std::index_sequence<N...>) {
    auto one = [](int n) {
        TableDescriptor d{};
        d.number = n;
        for (int i = 0; i < 8 && TableList[n].name[i]; ++i) d.name[i] = TableList[n].name[i];
        d.fileSize[0] = TableList[n].size[0];
        d.fileSize[1] = TableList[n].size[1];
        return d;
    };
    return {one(int(N))...};
}

// Leaves under a node with `levels` levels below it and `budget` men left to place.
constexpr int leavesBelow(int levels, int budget) {
    long long c = 1;  // (budget + levels) choose levels
    for (int i = 1; i <= levels; ++i) c = c * (budget + i) / i;
    return int(c);
}
static_assert(leavesBelow(10, 3) == MaterialIndexState::LeafCount);

// Depth-first position of the leaf that the ten counts lead to, or -1 outside.
int leafOf(const int counts[10]) {
    int budget = 3, leaf = 0;
    for (int level = 0; level < 10; ++level) {
        if (counts[level] < 0 || counts[level] > budget) return -1;
        for (int c = 0; c < counts[level]; ++c) leaf += leavesBelow(9 - level, budget - c);
        budget -= counts[level];
    }
    return leaf;
}

[[noreturn]] void fatal(const char* format, const char* text) {
    std::printf(format, text);
    platform::exitProcess(1);
}

[[noreturn]] void outOfMemory(long long bytes) {
    std::printf("*** Cannot allocate %d bytes of memory\n", int(bytes));
    platform::exitProcess(1);
}

// Counts per kind in the order the signature wants them (pawn .. queen), from the
// letters of one half of a table name.
void countLetters(const char* from, const char* to, int* counts) {
    for (const char* c = from; c < to; ++c) {
        switch (*c) {
            case 'n': ++counts[1]; break;
            case 'b': ++counts[2]; break;
            case 'r': ++counts[3]; break;
            case 'q': ++counts[4]; break;
            default: ++counts[0]; break;  // "p", and any other letter counts as a pawn
        }
    }
}

// Full name of a table file in a directory; false when it does not fit 255 characters.
bool fileName(char* out, const char* directory, const char* table, const char* suffix) {
    const int n = std::snprintf(out, 256, "%s%s%s%s", directory, *directory ? "/" : "", table, suffix);
    return n >= 0 && n < 256;
}

}  // namespace

constinit std::array<TableDescriptor, TableCount + 1> Tables =
    makeDescriptors(std::make_index_sequence<TableCount + 1>());
constinit MaterialIndexState MaterialIndex{};

int MaterialIndexState::lookup(const int counts[10]) const {
    const int at = leafOf(counts);
    return at < 0 ? 0 : leaf[at];
}

bool MaterialIndexState::store(const int counts[10], int tableNumber) {
    const int at = leafOf(counts);
    if (at < 0) return false;
    leaf[at] = int16_t(tableNumber);
    return true;
}

void TablebaseSetState::release() {
    for (TableDescriptor& d : Tables)
        for (int side = 0; side < 2; ++side) {
            if (d.file[side]) std::fclose(d.file[side]);
            std::free(d.filePath[side]);
            std::free(d.bucketHeads[side]);
            d.file[side] = nullptr;
            d.filePath[side] = nullptr;
            d.bucketHeads[side] = nullptr;
            releaseCompressedInfo(d.compressed[side]);
            d.compressed[side] = nullptr;
            d.fileSize[side] = TableList[d.number].size[side];
        }
    std::free(cacheMemory);
    cacheMemory = nullptr;
    releaseDecodeState();
    BlockCache = BlockCacheState{};
    MaterialIndex = MaterialIndexState{};
    pieceCount = 0;
    compressedFiles = 0;
    decompressionBytes = 0;
}

int registerTable(const char* directory, int n, int side) {
    TableDescriptor& d = Tables[n];
    // Step 1. The first directory that holds the file wins.
    if (d.filePath[side]) return 1;

    // Steps 2-5. The uncompressed file must have exactly the table's size.
    char name[256];
    CompressedTableInfo* info = nullptr;
    if (!fileName(name, directory, d.name, side ? ".nbb" : ".nbw")) return 0;
    if (std::FILE* file = std::fopen(name, "rb")) {
        if (std::fseek(file, 0, SEEK_END) != 0) fatal("*** Seek in %s failed\n", name);
        const long long length = std::ftell(file);
        std::fclose(file);
        if (length < 0) fatal("*** Seek in %s failed\n", name);
        if (d.fileSize[side] != 0 && (unsigned long long)length != d.fileSize[side])
            fatal("*** %s corrupted\n", name);
        d.fileSize[side] = uint32_t(length);
    } else {
        // A compressed file goes by the name with ".emd" appended, or by an 8.3 name
        // without the dot before the side letters (kqkrnbw.emd).
        char compressed[256];
        char shortName[16];
        std::snprintf(shortName, sizeof shortName, "%s%s", d.name, side ? "nbb.emd" : "nbw.emd");
        std::FILE* packed = nullptr;
        if (fileName(compressed, directory, d.name, side ? ".nbb.emd" : ".nbw.emd"))
            packed = std::fopen(compressed, "rb");
        if (!packed && fileName(compressed, directory, shortName, "")) packed = std::fopen(compressed, "rb");
        if (!packed) return 0;
        ++TablebaseSet.compressedFiles;
        info = readCompressedHeaderOrExit(packed, compressed);
        std::fclose(packed);
        TablebaseSet.decompressionBytes += uint32_t(compressedInfoBytes(info->blockCount));
        if (info->blockSize != uint32_t(CompressedBlockSize)) {
            std::printf("*** %s: Unsupported block size %d\n", compressed, int(info->blockSize));
            platform::exitProcess(1);
        }
        // The table's bytes: whole blocks, then the last one.
        const unsigned long long length =
            info->blockCount ? (unsigned long long)(info->blockCount - 1) * CompressedBlockSize + info->lastBlockSize : 0;
        if (d.fileSize[side] != 0 && length != d.fileSize[side]) fatal("*** %s corrupted\n", compressed);
        d.fileSize[side] = uint32_t(length);
        std::strcpy(name, compressed);
    }

    // Step 6. The material signature, as it stands and with the colours exchanged.
    // Tables with the same men on both sides are stored second, so they read -n.
    int counts[10]{}, swapped[10]{};
    const char* second = std::strchr(d.name + 1, 'k');
    countLetters(d.name + 1, second, counts);
    countLetters(second + 1, d.name + std::strlen(d.name), counts + 5);
    for (int i = 0; i < 5; ++i) {
        swapped[i] = counts[i + 5];
        swapped[i + 5] = counts[i];
    }
    if (!MaterialIndex.store(counts, n) || !MaterialIndex.store(swapped, -n))
        fatal("*** Unable to register %s\n", name);

    // Step 7. The side's path and its empty cache chains.
    const size_t length = std::strlen(name) + 1;
    char* path = static_cast<char*>(std::malloc(length));
    if (!path) outOfMemory((long long)length);
    std::memcpy(path, name, length);
    int32_t* heads = static_cast<int32_t*>(std::malloc(CacheBuckets * sizeof(int32_t)));
    if (!heads) outOfMemory(CacheBuckets * sizeof(int32_t));
    for (int b = 0; b < CacheBuckets; ++b) heads[b] = NoEntry;
    d.filePath[side] = path;
    d.bucketHeads[side] = heads;
    d.compressed[side] = info;
    return 1;
}

void initTablebases(const char* pathList, int cacheMegabytes) {
    // Steps 1-2. Counters, the index tables and each table's index functions.
    TablebaseSet.compressedFiles = 0;
    TablebaseSet.decompressionBytes = 0;
    buildIndexTables();
    for (TableDescriptor& d : Tables)
        for (int side = 0; side < 2; ++side) d.indexFunction[side] = indexFunctionFor(d.number, side);

    // Step 3. Every directory of the list in turn, every table, both sides.
    int highest = 0;
    const char* from = pathList;
    for (;;) {
        const char* to = from + std::strcspn(from, ",;");
        char directory[256];
        const size_t length = size_t(to - from) < sizeof directory ? size_t(to - from) : sizeof directory - 1;
        std::memcpy(directory, from, length);
        directory[length] = '\0';
        for (int n = 1; n <= TableCount; ++n) {
            const int white = registerTable(directory, n, 0);
            const int black = registerTable(directory, n, 1);
            if ((white || black) && n > highest) highest = n;
        }
        if (*to == '\0') break;
        from = to + 1;
    }

    // Step 4. One decoding state serves every compressed file.
    if (TablebaseSet.compressedFiles > 0) {
        allocateDecodeState();
        if (!DecodeState) {
            std::printf("*** Cannot allocate decode block: error code %d\n", errno);
            platform::exitProcess(1);
        }
        TablebaseSet.decompressionBytes += uint32_t(sizeof(DecodeStateData));
    }

    // Step 5. The men limit follows the largest table registered.
    TablebaseSet.pieceCount = highest >= 36 ? 5 : highest >= 6 ? 4 : highest >= 1 ? 3 : 0;
    setCacheSize(cacheMegabytes);
}

int findTable(const int counts[10]) { return MaterialIndex.lookup(counts); }

void setUpTablebases(const char* paths, int cacheMegabytes) {
    initTablebases(paths, cacheMegabytes);
    Board.tbMenLimit = TablebaseSet.pieceCount;
}

}  // namespace egtb
