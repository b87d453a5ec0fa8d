// Compressed tablebase files of any content: the header reader and the block
// decoder must fail cleanly, never read or write outside their buffers.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "egtb/datacomp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    egtb::CompressedTableInfo* info = nullptr;
    if (egtb::readCompressedHeader(file, &info) == egtb::HeaderStatus::Ok) {
        egtb::allocateDecodeState();
        // The cache buffers give the decoder 36 spare bytes beyond the block.
        std::vector<uint8_t> block(egtb::CompressedBlockSize + 36);
        for (uint32_t b = 0; b < info->blockCount && b < 64; ++b) egtb::decodeBlock(*info, file, b, block.data());
        egtb::decodeBlock(*info, file, info->blockCount, block.data());  // one past the last
        egtb::releaseCompressedInfo(info);
    }
    std::fclose(file);
    return 0;
}
