// Reading table bytes through the block cache and turning them into scores.
#include "egtb/probe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "board/board.h"
#include "board/position_record.h"
#include "egtb/indexing.h"
#include "egtb/registry.h"
#include "eval/evaluate.h"
#include "eval/piece_square.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

using egtb::BlockCache;
using egtb::TablebaseSet;
using egtb::Tables;
using testing_support::squareOf;
using testing_support::TempDir;
using testing_support::writeTableFile;

namespace {

class Probe : public ::testing::Test {
   protected:
    void SetUp() override { TablebaseSet.release(); }
    void TearDown() override {
        TablebaseSet.release();
        board::Board.tbMenLimit = 0;
    }
};

int probeFen(const char* fen) {
    board::Board.loadRecord(*board::parseFen(fen));
    eval::prepareRoot(board::Board, board::Board.sideToMove);
    return egtb::probeTablebase(board::Board, board::Board.sideToMove);
}

// kqk index of white king, black king and queen on the named squares.
uint32_t kqkIndex(int side, const char* whiteKing, const char* blackKing, const char* queen) {
    egtb::buildIndexTables();
    const int white[2] = {squareOf(whiteKing), squareOf(queen)}, black[1] = {squareOf(blackKing)};
    return egtb::indexFunctionFor(5, side)(white, black, 64, 0);
}

// Block starts in the recency list, most recent first.
std::vector<uint32_t> cachedBlocks() {
    std::vector<uint32_t> starts;
    for (int32_t e = BlockCache.head; e != egtb::NoEntry; e = BlockCache.entries[e].next)
        starts.push_back(BlockCache.entries[e].start / egtb::CacheBlockBytes);
    return starts;
}

// kbkb's white-to-move file with every byte telling its block number.
void writeNumberedBlocks(const std::string& path, uint32_t size) {
    std::ofstream out(path, std::ios::binary);
    for (uint32_t i = 0; i < size; ++i) out.put(char((i / egtb::CacheBlockBytes) % 100));
}

}  // namespace

TEST_F(Probe, TableBytesBecomeScores) {
    TempDir dir;
    writeTableFile(dir.path(), "kqk", 0, 127,
                   {{kqkIndex(0, "a1", "c1", "b3"), 126},
                    {kqkIndex(0, "a1", "c1", "h5"), 0},
                    {kqkIndex(0, "a1", "c1", "h7"), -128},
                    {kqkIndex(0, "a1", "c1", "h4"), 1}});
    writeTableFile(dir.path(), "kqk", 1, 127,
                   {{kqkIndex(1, "a1", "c1", "b3"), -126},
                    {kqkIndex(1, "a1", "c1", "h5"), -127}});
    egtb::initTablebases(dir.path().c_str(), 0);

    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/8/K1k5 w - -"), 30000);
    EXPECT_EQ(probeFen("8/8/8/7Q/8/8/8/K1k5 w - -"), 0);
    EXPECT_EQ(probeFen("8/8/7Q/8/8/8/8/K1k5 w - -"), 99999);
    EXPECT_EQ(probeFen("8/7Q/8/8/8/8/8/K1k5 w - -"), 29748);
    EXPECT_EQ(probeFen("8/8/8/8/7Q/8/8/K1k5 w - -"), 29750);
    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/8/K1k5 b - -"), -30000);
    EXPECT_EQ(probeFen("8/8/8/7Q/8/8/8/K1k5 b - -"), -29748);
    // The queen on black's side: the same table with the colours exchanged.
    EXPECT_EQ(probeFen("8/8/8/8/8/1q6/8/k1K5 w - -"), -30000);
    // Touching kings have no index; a position with more men has no table.
    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/8/Kk6 w - -"), 99999);
    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/7P/K1k5 w - -"), 99999);

    // The evaluation takes the answer as exact, mates counted from the root.
    board::Board.tbMenLimit = TablebaseSet.pieceCount;
    int status = -1;
    probeFen("8/8/8/8/7Q/8/8/K1k5 w - -");
    eval::EvalLine line;
    EXPECT_EQ(eval::evaluate(board::Board, line, 0, 0, 5, 3, nullptr, &status), 29747);
    EXPECT_EQ(status, eval::EvalExact);
}

TEST_F(Probe, KpkpIsReadWithTheColoursExchanged) {
    TempDir dir;
    writeTableFile(dir.path(), "kpkp", 0, 1);
    writeTableFile(dir.path(), "kpkp", 1, -1);
    egtb::initTablebases(dir.path().c_str(), 0);
    // White to move on the board is black to move in the table, and back.
    EXPECT_EQ(probeFen("4k3/3p4/8/8/8/8/4P3/4K3 w - -"), -29750);
    EXPECT_EQ(probeFen("4k3/3p4/8/8/8/8/4P3/4K3 b - -"), 29750);
}

TEST_F(Probe, CacheKeepsBlocksAndReplacesTheLeastRecentlyRead) {
    TempDir dir;
    writeNumberedBlocks(dir.file("kbkb.nbw"), egtb::TableList[11].size[0]);
    egtb::initTablebases(dir.path().c_str(), 16);
    EXPECT_EQ(BlockCache.entryCount, 2031);
    egtb::setCacheSize(1);
    ASSERT_EQ(BlockCache.entryCount, 126);

    // Blocks 32 apart share a chain; a full cache gives up its least recent block.
    for (uint32_t block = 0; block < 126; ++block)
        ASSERT_EQ(egtb::readTableByte(11, 0, block * 8192 + 17), int(block % 100));
    EXPECT_EQ(BlockCache.freeHead, egtb::NoEntry);
    EXPECT_EQ(egtb::readTableByte(11, 0, 8191), 0);  // block 0 becomes the most recent
    EXPECT_EQ(egtb::readTableByte(11, 0, 126 * 8192), 26);
    const std::vector<uint32_t> blocks = cachedBlocks();
    ASSERT_EQ(blocks.size(), 126u);
    EXPECT_EQ(blocks[0], 126u);
    EXPECT_EQ(blocks[1], 0u);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), 1u), 0);
    EXPECT_EQ(egtb::readTableByte(11, 0, 1 * 8192 + 1), 1);  // read again, from the file

    // CACHE_TB beyond 32-bit byte counts is held at 2047 MB; below 0 it means the default.
    egtb::setCacheSize(4096);
    EXPECT_EQ(BlockCache.entryCount, int((2047u << 20) / 8260));
    egtb::setCacheSize(-3);
    EXPECT_EQ(BlockCache.entryCount, 2031);
}

TEST_F(Probe, UnreadableTableSideIsDroppedForTheRestOfTheRun) {
    TempDir dir;
    writeTableFile(dir.path(), "kqk", 0, 5);
    const uint32_t size = egtb::TableList[11].size[0];
    writeNumberedBlocks(dir.file("kbkb.nbw"), size);
    egtb::initTablebases(dir.path().c_str(), 0);

    // Removed before its first read: that side is gone, even once the file is back.
    std::filesystem::rename(dir.file("kqk.nbw"), dir.file("kqk.away"));
    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/8/K1k5 w - -"), 99999);
    EXPECT_EQ(Tables[5].filePath[0], nullptr);
    std::filesystem::rename(dir.file("kqk.away"), dir.file("kqk.nbw"));
    EXPECT_EQ(probeFen("8/8/8/8/8/1Q6/8/K1k5 w - -"), 99999);

    // Cut short while open: a block the file no longer holds is not taken for data.
    EXPECT_EQ(egtb::readTableByte(11, 0, 0), 0);
    ASSERT_EQ(truncate(dir.file("kbkb.nbw").c_str(), 3 * 8192), 0);
    EXPECT_EQ(egtb::readTableByte(11, 0, 10 * 8192), 127);
    EXPECT_EQ(Tables[11].filePath[0], nullptr);
}
