// talvo-tools egtb compress FILE...: writes FILE.emd, the compressed form of a table
// side, and checks it by decoding every block back. talvo-tools egtb decode-speed
// FILE.emd: blocks decoded per second.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "egtb/datacomp.h"
#include "egtb/datacomp_writer.h"

namespace egtb_tools {

namespace {

bool readWhole(const char* path, std::vector<uint8_t>& data) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::rewind(file);
    data.resize(size > 0 ? size_t(size) : 0);
    const bool good = size >= 0 && std::fread(data.data(), 1, data.size(), file) == data.size();
    std::fclose(file);
    return good;
}

// Decodes every block of an open compressed file; compares with data when given.
// Returns the number of blocks decoded, or -1 on the first failure.
long decodeAll(std::FILE* file, const std::vector<uint8_t>* data) {
    egtb::CompressedTableInfo* info = nullptr;
    if (egtb::readCompressedHeader(file, &info) != egtb::HeaderStatus::Ok) return -1;
    egtb::allocateDecodeState();
    std::vector<uint8_t> block(egtb::CompressedBlockSize + 4);
    long decoded = 0;
    for (uint32_t b = 0; b < info->blockCount; ++b, ++decoded) {
        const size_t start = size_t(b) * egtb::CompressedBlockSize;
        const size_t length = b + 1 == info->blockCount ? info->lastBlockSize : info->blockSize;
        if (!egtb::decodeBlock(*info, file, b, block.data()) ||
            (data && std::memcmp(block.data(), data->data() + start, length) != 0)) {
            decoded = -1;
            break;
        }
    }
    egtb::releaseCompressedInfo(info);
    return decoded;
}

}  // namespace

int runCompress(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools egtb compress FILE...\n");
        return 2;
    }
    unsigned long long before = 0, after = 0;
    for (int i = 0; i < argc; ++i) {
        std::vector<uint8_t> data;
        if (!readWhole(argv[i], data)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const std::string target = std::string(argv[i]) + ".emd";
        const std::string temporary = target + ".part";
        std::FILE* out = std::fopen(temporary.c_str(), "w+b");
        if (!out || !egtb::writeCompressedTable(data.data(), data.size(), out)) {
            std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
            if (out) std::fclose(out);
            return 1;
        }
        std::fflush(out);
        const long size = std::ftell(out);
        const long blocks = decodeAll(out, &data);
        std::fclose(out);
        if (blocks < 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
            std::fprintf(stderr, "%s: the compressed file does not decode back\n", argv[i]);
            std::remove(temporary.c_str());
            return 1;
        }
        before += data.size();
        after += (unsigned long long)size;
        std::printf("%s: %zu -> %ld bytes (%.1f%%), %ld blocks\n", target.c_str(), data.size(), size,
                    data.empty() ? 0.0 : 100.0 * double(size) / double(data.size()), blocks);
    }
    if (argc > 1)
        std::printf("total: %llu -> %llu bytes (%.1f%%)\n", before, after, before ? 100.0 * double(after) / double(before) : 0.0);
    return 0;
}

int runDecodeSpeed(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools egtb decode-speed FILE.emd...\n");
        return 2;
    }
    long blocks = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 5; ++round)
        for (int i = 0; i < argc; ++i) {
            std::FILE* file = std::fopen(argv[i], "rb");
            const long n = file ? decodeAll(file, nullptr) : -1;
            if (file) std::fclose(file);
            if (n < 0) {
                std::fprintf(stderr, "%s does not decode\n", argv[i]);
                return 1;
            }
            blocks += n;
        }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld blocks decoded in %.3f s: %.0f blocks per second\n", blocks, seconds, blocks / seconds);
    return 0;
}

}  // namespace egtb_tools
