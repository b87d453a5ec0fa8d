// Compressed tablebase files: the same bytes as an uncompressed table side, cut
// into blocks of 8192 bytes, each compressed on its own with one Huffman code for
// the whole file over 1024 symbols: 256 literal bytes and 768 copies (24 fixed
// distances back in the block times 32 length codes).
//
// The header (big-endian numbers) holds a banner, the header length, the block size
// as a power of two, the block count, per-block checksums (not verified), then two
// bit streams read most significant bit first: the compressed block sizes and the
// copy distances, then the code lengths, themselves coded with a small Huffman
// code. A checksum over the header closes it.
//
// Reading never trusts the file: every size is checked against the header or the
// block before it is used, and a block that does not decode exactly fails.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace egtb {

constexpr int CompressedBlockSize = 8192;
constexpr int DecodeLookupBits = 13;
constexpr int DecodeTableEntries = 10240;  // 8192 first-level entries, then the tree
constexpr int CopyDistances = 24;

// What decoding one table side needs, kept for as long as the table is registered.
struct CompressedTableInfo {
    int16_t decodeTable[DecodeTableEntries];
    uint32_t distances[CopyDistances];
    uint32_t* blockOffsets;  // blockCount + 1 file offsets; the first is the header length
    int log2BlockSize;
    uint32_t blockSize;
    uint32_t lastBlockSize;
    uint32_t blockCount;
};

// Bytes a table side's decoding information takes: it counts towards the memory
// from which the block cache is sized.
constexpr size_t compressedInfoBytes(uint32_t blockCount) { return 20620 + 4 * size_t(blockCount); }

enum class HeaderStatus { Ok, ReadError, OutOfMemory, FileBroken };

// The first 64 bytes of every compressed file: the compressor's 60-character banner
// (printable text ending in CR LF), then four zero bytes. The exact banner text is
// not known here, so its shape is what is checked.
bool signatureMatches(const uint8_t* first64);

// The header checksum: a 32-bit table checksum with the constant 0xEDB88320,
// starting at 0, without a final inversion.
uint32_t headerChecksum(const uint8_t* data, size_t length);

// Reads and checks the header of an open compressed file from its start. On Ok,
// *info is a new table description (release it with releaseCompressedInfo).
HeaderStatus readCompressedHeader(FILE* file, CompressedTableInfo** info);
void releaseCompressedInfo(CompressedTableInfo* info);
// Registration's form: any failure prints "*** Unable to read NAME - <kind>" and
// ends the process with status 1.
CompressedTableInfo* readCompressedHeaderOrExit(FILE* file, const char* name);

// The one decoding state of the engine: a small working area and the input buffer
// for one compressed block, shared by all files.
struct DecodeStateData {
    uint8_t work[64];
    uint8_t input[CompressedBlockSize];
};
static_assert(sizeof(DecodeStateData) == 8256);
extern DecodeStateData* DecodeState;  // null until a compressed file is registered
void allocateDecodeState();
void releaseDecodeState();

// Decodes block number `block` into out (room for the block plus 3 spare bytes).
// False, without a message, for a bad block number, a failed read or any
// inconsistency in the data; out then holds nothing usable.
bool decodeBlock(const CompressedTableInfo& info, FILE* file, uint32_t block, uint8_t* out);

}  // namespace egtb
