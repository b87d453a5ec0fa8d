// The compressed table format: what the compressor writes, the decoder gives back
// byte for byte, and no damaged file can make the decoder step outside its buffers.
#include "egtb/datacomp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "egtb/datacomp_writer.h"
#include "support/temp_dir.h"

using namespace egtb;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> compress(const std::vector<uint8_t>& data, int log2Block = 13) {
    FILE* f = std::tmpfile();
    EXPECT_TRUE(writeCompressedTable(data.data(), data.size(), f, log2Block));
    std::vector<uint8_t> bytes(size_t(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

FILE* fileOf(const std::vector<uint8_t>& bytes) {
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

HeaderStatus headerStatusOf(const std::vector<uint8_t>& bytes) {
    FILE* f = fileOf(bytes);
    CompressedTableInfo* info = nullptr;
    const HeaderStatus status = readCompressedHeader(f, &info);
    releaseCompressedInfo(info);
    std::fclose(f);
    return status;
}

// Decodes every block of a compressed file and compares with the original.
void expectRoundTrip(const std::vector<uint8_t>& data, int* storedBlocks = nullptr, bool* longCodes = nullptr) {
    const std::vector<uint8_t> bytes = compress(data);
    FILE* f = fileOf(bytes);
    CompressedTableInfo* info = nullptr;
    ASSERT_EQ(readCompressedHeader(f, &info), HeaderStatus::Ok);
    allocateDecodeState();
    ASSERT_EQ(info->blockCount, (data.size() + 8191) / 8192);
    std::vector<uint8_t> out(CompressedBlockSize + 3);
    for (uint32_t b = 0; b < info->blockCount; ++b) {
        ASSERT_TRUE(decodeBlock(*info, f, b, out.data())) << "block " << b;
        const size_t length = std::min<size_t>(8192, data.size() - size_t(b) * 8192);
        ASSERT_EQ(std::memcmp(out.data(), data.data() + size_t(b) * 8192, length), 0) << "block " << b;
        if (storedBlocks && info->blockOffsets[b + 1] - info->blockOffsets[b] == length) ++*storedBlocks;
    }
    EXPECT_FALSE(decodeBlock(*info, f, info->blockCount, out.data()));
    if (longCodes)
        for (int i = 0; i < 8192; ++i)
            if (info->decodeTable[i] < 0 && info->decodeTable[i] != INT16_MIN) *longCodes = true;
    releaseCompressedInfo(info);
    std::fclose(f);
}

}  // namespace

TEST(Datacomp, ChecksumOfKnownText) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(headerChecksum(abc, 3), 0xCADBBEC2u);
    EXPECT_EQ(headerChecksum(abc, 0), 0u);
}

TEST(Datacomp, EveryBlockComesBackExactly) {
    std::mt19937 random(5);
    // Runs of one byte (distance-1 copies over a whole block), a short last block.
    std::vector<uint8_t> runs(3 * 8192 + 1000);
    for (size_t i = 0; i < runs.size(); ++i) runs[i] = uint8_t((i / 3000) % 7);
    expectRoundTrip(runs);

    // Noise does not shrink: stored blocks.
    std::vector<uint8_t> noise(2 * 8192 + 17);
    for (uint8_t& b : noise) b = uint8_t(random());
    int stored = 0;
    expectRoundTrip(noise, &stored);
    EXPECT_EQ(stored, 3);

    // A table-like mix: long plain stretches, patterns at many distances and rare
    // values, enough of them for codes longer than the 13 lookup bits.
    std::vector<uint8_t> mixed(48 * 8192 + 4000);
    for (size_t i = 0; i < mixed.size(); ++i) {
        const uint32_t r = random();
        if (r % 5000 == 0) mixed[i] = uint8_t(r >> 8);                 // rare values
        else if ((i / 700) % 3 == 0) mixed[i] = uint8_t(i % 5);        // short patterns
        else if ((i / 700) % 3 == 1) mixed[i] = uint8_t((i / 37) % 4);  // runs
        else mixed[i] = i >= 300 ? mixed[i - 300] : 1;                   // long repeats
    }
    bool longCodes = false;
    expectRoundTrip(mixed, nullptr, &longCodes);
    EXPECT_TRUE(longCodes);

    // A tiny table.
    expectRoundTrip(std::vector<uint8_t>{1, 2, 3});
}

TEST(Datacomp, HeaderFailuresByKind) {
    std::vector<uint8_t> data(20000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i % 13 == 0 ? i / 13 : 0);
    const std::vector<uint8_t> good = compress(data);
    EXPECT_EQ(headerStatusOf(good), HeaderStatus::Ok);
    // Byte, new value, status: a banner that is not printable text, a header
    // longer than the file (read errors); a bad fixed word, a per-block checksum
    // that the header's checksum covers (broken files).
    const std::tuple<int, uint8_t, HeaderStatus> damage[] = {
        {10, 0x07, HeaderStatus::ReadError},
        {64, 0x7f, HeaderStatus::ReadError},
        {79, uint8_t(good[79] ^ 1), HeaderStatus::FileBroken},
        {85, uint8_t(good[85] ^ 0x40), HeaderStatus::FileBroken}};
    for (auto [at, value, status] : damage) {
        std::vector<uint8_t> bad = good;
        bad[at] = value;
        EXPECT_EQ(headerStatusOf(bad), status) << at;
    }
    EXPECT_EQ(headerStatusOf(std::vector<uint8_t>(good.begin(), good.begin() + 79)), HeaderStatus::ReadError);
}
