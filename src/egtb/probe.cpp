#include "egtb/probe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/log.h"
#include "board/position.h"
#include "board/types.h"
#include "egtb/datacomp.h"
#include "egtb/indexing.h"
#include "egtb/registry.h"

namespace egtb {

constinit BlockCacheState BlockCache{};

namespace {

// Without a compressed table there is no decompression byte count to size the
// cache by; 16 MB holds both sides of any four-man table with the tables it leads to.
constexpr uint32_t DefaultCacheBytes = 16u << 20;
// CACHE_TB is in megabytes; the byte count must fit the signed 32-bit sizes.
constexpr int LargestCacheMegabytes = 2047;

// kppkp, black to move: seven positions are mated in 127 moves, one more than the
// table's bytes can say.
constexpr uint32_t KppkpLongestLosses[] = {56802428, 56811076, 56849992, 56858640,
                                           59592489, 67775659, 71071628};

char* bufferOf(const CacheEntry& entry) { return TablebaseSet.cacheMemory + entry.dataOffset; }

void unlinkRecency(int32_t e) {
    CacheEntry* entries = BlockCache.entries;
    CacheEntry& entry = entries[e];
    if (entry.previous != NoEntry)
        entries[entry.previous].next = entry.next;
    else
        BlockCache.head = entry.next;
    if (entry.next != NoEntry)
        entries[entry.next].previous = entry.previous;
    else
        BlockCache.tail = entry.previous;
}

void pushRecency(int32_t e) {
    CacheEntry* entries = BlockCache.entries;
    entries[e].previous = NoEntry;
    entries[e].next = BlockCache.head;
    if (BlockCache.head != NoEntry) entries[BlockCache.head].previous = e;
    BlockCache.head = e;
    if (BlockCache.tail == NoEntry) BlockCache.tail = e;
}

void unlinkBucket(int32_t e, int32_t* heads) {
    CacheEntry* entries = BlockCache.entries;
    CacheEntry& entry = entries[e];
    if (entry.bucketPrevious != NoEntry)
        entries[entry.bucketPrevious].bucketNext = entry.bucketNext;
    else
        heads[(entry.start / CacheBlockBytes) % CacheBuckets] = entry.bucketNext;
    if (entry.bucketNext != NoEntry) entries[entry.bucketNext].bucketPrevious = entry.bucketPrevious;
}

void pushBucket(int32_t e, int32_t* heads) {
    CacheEntry* entries = BlockCache.entries;
    int32_t& head = heads[(entries[e].start / CacheBlockBytes) % CacheBuckets];
    entries[e].bucketPrevious = NoEntry;
    entries[e].bucketNext = head;
    if (head != NoEntry) entries[head].bucketPrevious = e;
    head = e;
}

// Reads the block into the entry's buffer: every byte of it that the table holds.
bool loadBlock(TableDescriptor& d, int side, const CacheEntry& entry) {
    std::FILE* file = d.file[side];
    if (d.compressed[side]) return decodeBlock(*d.compressed[side], file, entry.start / CacheBlockBytes,
                                                   reinterpret_cast<uint8_t*>(bufferOf(entry)));
    if (std::fseek(file, long(entry.start), SEEK_SET) != 0) return false;
    const uint32_t wanted = d.fileSize[side] - entry.start < uint32_t(CacheBlockBytes)
                                ? d.fileSize[side] - entry.start
                                : CacheBlockBytes;
    return std::fread(bufferOf(entry), 1, CacheBlockBytes, file) >= wanted;
}

}  // namespace

void closeTableFiles() {
    for (TableDescriptor& d : Tables)
        for (int side = 0; side < 2; ++side)
            if (d.file[side]) {
                std::fclose(d.file[side]);
                d.file[side] = nullptr;
            }
}

int readTableByte(int table, int side, uint32_t index) {
    TableDescriptor& d = Tables[table];
    // Step 1. Without a cache or without the side's chains nothing can be read.
    if (BlockCache.entryCount == 0 || !d.bucketHeads[side]) return 127;
    int32_t* heads = d.bucketHeads[side];
    CacheEntry* entries = BlockCache.entries;

    // Step 2. A hit moves to the front of the recency list and of its chain.
    for (int32_t e = heads[(index / CacheBlockBytes) % CacheBuckets]; e != NoEntry;
         e = entries[e].bucketNext) {
        // Unsigned: an entry that starts beyond the index is a huge distance away.
        if (index - entries[e].start >= uint32_t(CacheBlockBytes)) continue;
        if (BlockCache.head != e) {
            unlinkRecency(e);
            pushRecency(e);
        }
        if (entries[e].bucketPrevious != NoEntry) {
            unlinkBucket(e, heads);
            pushBucket(e, heads);
        }
        return int8_t(bufferOf(entries[e])[index - entries[e].start]);
    }

    // Step 3. A miss takes a free entry, or else the least recently used one.
    int32_t e = BlockCache.freeHead;
    if (e != NoEntry) {
        BlockCache.freeHead = entries[e].next;
    } else {
        e = BlockCache.tail;
        unlinkRecency(e);
        unlinkBucket(e, Tables[entries[e].table].bucketHeads[entries[e].side]);
    }

    // Steps 4-6. Fill it from the file, opened on first use; when the system is out
    // of handles, every table file is closed and the open tried once more.
    CacheEntry& entry = entries[e];
    entry.table = table;
    entry.side = side;
    entry.start = index - index % CacheBlockBytes;
    bool good = d.filePath[side] != nullptr;
    if (good && !d.file[side]) {
        d.file[side] = std::fopen(d.filePath[side], "rb");
        if (!d.file[side]) {
            closeTableFiles();
            d.file[side] = std::fopen(d.filePath[side], "rb");
        }
        good = d.file[side] != nullptr;
    }
    if (good) good = loadBlock(d, side, entry);

    // Step 8. A side that cannot be read is dropped for the rest of the run.
    if (!good) {
        if (d.file[side]) std::fclose(d.file[side]);
        d.file[side] = nullptr;
        std::free(d.filePath[side]);
        d.filePath[side] = nullptr;
        entry.next = BlockCache.freeHead;
        BlockCache.freeHead = e;
        return 127;
    }

    // Step 7. The new block becomes the most recent one.
    pushRecency(e);
    pushBucket(e, heads);
    return int8_t(bufferOf(entry)[index - entry.start]);
}

int scoreOfTableByte(int byte) {
    if (byte == 127) return board::NoTablebaseInfo;
    if (byte == 0) return 0;
    if (byte == -128) return 29748;   // mates in 127 moves
    if (byte == -127) return -29748;  // is mated in 126 moves
    return byte > 0 ? 2 * byte + 29748 : 2 * byte - 29748;
}

int probePosition(const ProbePosition& position, int side) {
    // Steps 1-2. The table by material; -n means it sees the colours exchanged.
    int counts[10]{};
    for (int colour = 0; colour < 2; ++colour)
        for (int i = 0; i < position.menCount[colour]; ++i)
            ++counts[5 * colour + position.piece[colour][i] - 1];
    int n = findTable(counts);
    if (n == 0) return board::NoTablebaseInfo;
    const int flip = n < 0 ? 1 : 0;
    const int tableSide = side ^ flip;
    n = n < 0 ? -n : n;
    TableDescriptor& d = Tables[n];

    // Step 3. Only a registered side can answer.
    if (!d.filePath[tableSide]) return board::NoTablebaseInfo;

    // Step 4. Each side's men in the order of the table's name, then the index.
    int lists[2][4];
    const char* name = d.name + 1;
    for (int t = 0; t < 2; ++t) {
        const int colour = t ^ flip;
        bool used[3]{};
        lists[t][0] = position.king[colour];
        int slot = 1;
        for (; *name && *name != 'k'; ++name) {
            const int piece = *name == 'q' ? 5 : *name == 'r' ? 4 : *name == 'b' ? 3 : *name == 'n' ? 2 : 1;
            for (int i = 0; i < position.menCount[colour]; ++i)
                if (!used[i] && position.piece[colour][i] == piece) {
                    used[i] = true;
                    lists[t][slot++] = position.square[colour][i];
                    break;
                }
        }
        if (*name == 'k') ++name;
    }
    const uint32_t index = d.indexFunction[tableSide](lists[0], lists[1], position.epSquare, flip);
    // A placement the file does not hold (touching kings, a man the side not to
    // move could be taken with) has no byte to read.
    if (index >= d.fileSize[tableSide]) return board::NoTablebaseInfo;

    // Step 5. The longest kppkp losses do not fit a byte.
    if (n == 36 && tableSide == 1)
        for (uint32_t special : KppkpLongestLosses)
            if (index == special) return -29746;

    // Step 6. The byte, as a score.
    return scoreOfTableByte(readTableByte(n, tableSide, index));
}

int probeTablebase(const board::Position& pos, int side) {
    ProbePosition position;
    for (int colour = 0; colour < 2; ++colour) {
        const int men = pos.menCount[colour];
        if (men > 3) return board::NoTablebaseInfo;
        position.king[colour] = pos.pieceList[colour][0];
        position.menCount[colour] = men;
        for (int i = 0; i < men; ++i) {
            position.square[colour][i] = pos.pieceList[colour][i + 1];
            position.piece[colour][i] = pos.squares[pos.pieceList[colour][i + 1]].piece;
        }
    }
    position.epSquare = pos.epSquare ? pos.epSquare : 64;
    // Every probe may read a block into the shared cache and open a file: search
    // threads take turns.
    static std::mutex probing;
    const std::lock_guard<std::mutex> lock(probing);
    return probePosition(position, side);
}

void setCacheSize(int cacheMegabytes) {
    // Step 1. Without a registered table there is nothing to cache.
    if (TablebaseSet.pieceCount == 0) return;
    char line[64];
    std::snprintf(line, sizeof line, "Nalimov> %d pieces", TablebaseSet.pieceCount);
    base::logLine(line);

    // Step 3. The size: CACHE_TB megabytes, kept within what 32 bits can count.
    if (cacheMegabytes < 0) cacheMegabytes = 0;
    if (cacheMegabytes > LargestCacheMegabytes) cacheMegabytes = LargestCacheMegabytes;
    uint32_t size = uint32_t(cacheMegabytes) << 20;
    if (size == 0)
        size = TablebaseSet.decompressionBytes ? TablebaseSet.decompressionBytes : DefaultCacheBytes;

    // Step 4-5. The memory, with nothing open and nothing cached yet.
    std::free(TablebaseSet.cacheMemory);
    BlockCache = BlockCacheState{};
    TablebaseSet.cacheMemory = static_cast<char*>(std::malloc(size));
    if (!TablebaseSet.cacheMemory) {
        std::snprintf(line, sizeof line, "Nalimov> malloc(%d) error", int(size));
        base::logLine(line);
        return;
    }
    closeTableFiles();

    // Step 6. Too small for one entry: probing is turned off.
    if (size < uint32_t(CacheEntryBytes)) {
        std::free(TablebaseSet.cacheMemory);
        TablebaseSet.cacheMemory = nullptr;
        TablebaseSet.pieceCount = 0;
        return;
    }

    // Step 7. Descriptors first, then the buffers; every entry starts free.
    const int32_t count = int32_t(size / CacheEntryBytes);
    BlockCache.entryCount = count;
    BlockCache.entries = reinterpret_cast<CacheEntry*>(TablebaseSet.cacheMemory);
    for (int32_t e = 0; e < count; ++e) {
        CacheEntry& entry = BlockCache.entries[e];
        entry = CacheEntry{
            -1,      -1,      0,       e + 1 < count ? e + 1 : NoEntry,
            NoEntry, NoEntry, NoEntry, uint32_t(count * sizeof(CacheEntry) + size_t(e) * CacheBufferBytes)};
    }
    BlockCache.freeHead = 0;
    for (TableDescriptor& d : Tables)
        for (int side = 0; side < 2; ++side)
            if (d.bucketHeads[side])
                for (int b = 0; b < CacheBuckets; ++b) d.bucketHeads[side][b] = NoEntry;

    // Step 8.
    std::snprintf(line, sizeof line, "Nalimov> cache = %d", int(size));
    base::logLine(line);
}

}  // namespace egtb
