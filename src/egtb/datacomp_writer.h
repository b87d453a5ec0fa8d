// The compressor for table sides: writes the compressed file format the engine
// reads, with this project's own banner. Blocks are parsed greedily into literals
// and copies over 24 fixed distances; one Huffman code serves the whole file; a
// block that does not shrink is stored as it is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace egtb {

// The banner this project's compressor writes: 58 printable characters, CR, LF.
extern const char ProjectBanner[61];

// Writes data (a whole table side) compressed to out, in blocks of
// 2^log2BlockSize bytes (the engine reads only 8192). False when a write fails.
bool writeCompressedTable(const uint8_t* data, size_t size, FILE* out, int log2BlockSize = 13);

}  // namespace egtb
