// Endgame tablebase probe: the exact value of a position with few men, from the
// side to move's point of view, or NoTablebaseInfo when no table answers.
//
// The material signature names the table (with the colours exchanged when the
// weaker side is white), the table's index function places the position, and one
// byte of the table's file holds its value. Bytes are read through a block cache:
// entries of 8192 bytes of one table side, found through 32 chains per table side
// (block number mod 32), kept in one recency list whose tail is the entry reused
// on a miss. A table side whose block cannot be read is dropped for the rest of the
// run. The cache lives in one memory block: all entry descriptors first, then the
// data buffers in entry order.
#pragma once
#include <cstdint>

#include "board/position.h"

namespace egtb {

constexpr int CacheBlockBytes = 8192;   // table bytes per cache entry
constexpr int CacheBufferBytes = 8228;  // a block and 36 spare bytes for the decoder
constexpr int CacheEntryBytes = 8260;   // descriptor and buffer
constexpr int CacheBuckets = 32;        // chains per table side
constexpr int32_t NoEntry = -1;

// Links are entry numbers, so that a descriptor takes 32 bytes on any platform.
struct CacheEntry {
    int32_t table;
    int32_t side;
    uint32_t start;                      // index of the block's first byte, a multiple of 8192
    int32_t next, previous;              // recency list (the free list uses next)
    int32_t bucketNext, bucketPrevious;  // chain of its table side's bucket
    uint32_t dataOffset;                 // of its buffer from the start of the block
};
static_assert(sizeof(CacheEntry) == 32);

struct BlockCacheState {
    int32_t entryCount = 0;
    int32_t head = NoEntry;  // most recently used
    int32_t tail = NoEntry;  // least recently used
    int32_t freeHead = NoEntry;
    CacheEntry* entries = nullptr;  // at the start of TablebaseSet.cacheMemory
};
extern BlockCacheState BlockCache;  // defined in probe.cpp

// A position as the probe sees it: each side's king and up to three other men.
struct ProbePosition {
    int king[2];
    int menCount[2];
    int square[2][3];
    int piece[2][3];
    int epSquare = 64;  // 64 for none
};

// Score in the engine's scale (mate scores counted from this position), 0 for a
// draw, or NoTablebaseInfo (99999). Reads the piece lists and counts of pos.
int probeTablebase(const board::Position& pos, int side);
// The same for a position given by its men (tools and the table generator).
int probePosition(const ProbePosition& position, int side);
// Signed byte of table n, side, at index; 127 when it cannot be had.
int readTableByte(int table, int side, uint32_t index);
// Score of a table byte: a mate in m moves is 30002 - 2m, being mated in m moves
// -30000 + 2m, a draw 0, 127 NoTablebaseInfo.
int scoreOfTableByte(int byte);
// Sets the cache up for cacheMegabytes (0: the default size); run by
// initTablebases after registration.
void setCacheSize(int cacheMegabytes);
// Closes every open table file (they reopen on demand).
void closeTableFiles();

}  // namespace egtb
