// Finding, checking and registering tablebase files, and the start-up failures.
#include "egtb/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "egtb/datacomp_writer.h"
#include "egtb/probe.h"
#include "support/engine_process.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

using egtb::TablebaseSet;
using egtb::Tables;
using testing_support::EngineProcess;
using testing_support::TempDir;
using testing_support::writeTableFile;

namespace {

// Counts: white pawns, knights, bishops, rooks, queens, then black's.
int tableFor(std::initializer_list<int> counts) {
    int c[10]{}, i = 0;
    for (int x : counts) c[i++] = x;
    return egtb::findTable(c);
}

std::string pathOf(int table, int side) {
    return Tables[table].filePath[side] ? Tables[table].filePath[side] : "";
}

class Registry : public ::testing::Test {
   protected:
    void SetUp() override { TablebaseSet.release(); }
    void TearDown() override { TablebaseSet.release(); }
};

}  // namespace

TEST_F(Registry, DirectoriesAreSearchedInListOrderAndTheFirstFileWins) {
    TempDir dir;
    for (const char* d : {"a", "b", "c"}) std::filesystem::create_directory(dir.file(d));
    writeTableFile(dir.file("a"), "kqk", 0);
    writeTableFile(dir.file("b"), "kqk", 0);
    writeTableFile(dir.file("b"), "krk", 1);
    writeTableFile(dir.file("c"), "kpk", 0);
    writeTableFile(dir.file("c"), "kpk", 1);
    const std::string list = dir.file("a") + ";" + dir.file("b") + "," + dir.file("c");
    egtb::initTablebases(list.c_str(), 0);

    EXPECT_EQ(pathOf(5, 0), dir.file("a") + "/kqk.nbw");
    EXPECT_EQ(pathOf(5, 1), "");
    // Only the black-to-move file of krk: that side alone, the signature all the same.
    EXPECT_EQ(pathOf(4, 0), "");
    EXPECT_EQ(pathOf(4, 1), dir.file("b") + "/krk.nbb");
    EXPECT_EQ(tableFor({0, 0, 0, 1, 0, 0, 0, 0, 0, 0}), 4);
    EXPECT_EQ(tableFor({0, 0, 0, 0, 0, 0, 0, 0, 1, 0}), -4);
    EXPECT_EQ(pathOf(1, 1), dir.file("c") + "/kpk.nbb");
    EXPECT_EQ(tableFor({0, 0, 0, 0, 0, 0, 0, 1, 0, 0}), 0);  // kbk is not there
    EXPECT_EQ(TablebaseSet.pieceCount, 3);
}

TEST_F(Registry, EmptyPathMeansTheWorkingDirectoryWithoutSeparator) {
    TempDir dir;
    writeTableFile(dir.path(), "kqk", 1);
    testing_support::ScopedWorkingDir inside(dir.path());
    egtb::initTablebases("", 0);
    EXPECT_EQ(pathOf(5, 1), "kqk.nbb");
}

TEST_F(Registry, MenLimitFollowsTheLargestTableAndEqualMaterialReadsNegative) {
    TempDir dir;
    egtb::initTablebases(dir.path().c_str(), 0);
    EXPECT_EQ(TablebaseSet.pieceCount, 0);
    EXPECT_EQ(egtb::BlockCache.entryCount, 0);

    TablebaseSet.release();
    writeTableFile(dir.path(), "kpkp", 0);
    egtb::initTablebases(dir.path().c_str(), 0);
    EXPECT_EQ(TablebaseSet.pieceCount, 4);
    // Both stores of kpkp land on the same counts; the exchanged one comes second.
    EXPECT_EQ(tableFor({1, 0, 0, 0, 0, 1, 0, 0, 0, 0}), -6);

    TablebaseSet.release();
    writeTableFile(dir.path(), "kqqkr", 0);  // a sparse file of 41944320 bytes
    egtb::initTablebases(dir.path().c_str(), 0);
    EXPECT_EQ(TablebaseSet.pieceCount, 5);
    EXPECT_EQ(tableFor({0, 0, 0, 1, 0, 0, 0, 0, 0, 2}), -109);
    // Material outside every table, and counts outside the tree, find nothing.
    EXPECT_EQ(tableFor({0, 0, 0, 0, 3, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(tableFor({4, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
}

// The engine reads a compressed side exactly as the plain file, under both names;
// a damaged block drops its side at the first read, never more.
TEST_F(Registry, CompressedFilesReadLikeThePlainOnesUntilDamaged) {
    TempDir plain, packed;
    std::string report;
    ASSERT_EQ(testing_support::runTools("egtb generate kqk kpk -d " + plain.path(), &report), 0) << report;
    ASSERT_EQ(testing_support::runTools(
                  "egtb compress " + plain.file("kqk.nbw") + " " + plain.file("kpk.nbb"), &report),
              0)
        << report;
    std::filesystem::rename(plain.file("kqk.nbw.emd"), packed.file("kqk.nbw.emd"));
    std::filesystem::rename(plain.file("kpk.nbb.emd"), packed.file("kpknbb.emd"));  // the short name
    egtb::initTablebases(packed.path().c_str(), 0);
    EXPECT_EQ(TablebaseSet.compressedFiles, 2);
    EXPECT_EQ(pathOf(5, 0), packed.file("kqk.nbw.emd"));
    EXPECT_EQ(pathOf(1, 1), packed.file("kpknbb.emd"));
    EXPECT_EQ(pathOf(5, 1), "");  // no file for that side
    // Every byte through the cache and the decoder, against the plain files.
    for (auto [table, side, name] : {std::tuple{5, 0, "kqk.nbw"}, {1, 1, "kpk.nbb"}}) {
        const std::string bytes = plain.read(name);
        ASSERT_EQ(bytes.size(), Tables[table].fileSize[side]);
        for (uint32_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(egtb::readTableByte(table, side, i), int(int8_t(bytes[i]))) << name << " " << i;
    }

    // The first block's data start right after the header; scrambled, the side goes.
    TablebaseSet.release();
    std::string damaged = packed.read("kqk.nbw.emd");
    const uint32_t header = uint32_t(uint8_t(damaged[66])) << 8 | uint8_t(damaged[67]);
    for (size_t i = header; i < header + 40 && i < damaged.size(); ++i) damaged[i] = char(damaged[i] ^ 0x5a);
    packed.write("kqk.nbw.emd", damaged);
    egtb::initTablebases(packed.path().c_str(), 0);
    int answer = 0;
    for (uint32_t i = 0; i < 8192 && answer != 127; ++i) answer = egtb::readTableByte(5, 0, i);
    EXPECT_EQ(answer, 127);
    EXPECT_EQ(pathOf(5, 0), "");  // dropped for the rest of the run
}

TEST(RegistryStartUp, WrongSizedFileEndsTheEngineWithStatusOne) {
    TempDir dir;
    writeTableFile(dir.path(), "kqk", 0, 0, {}, -1);
    EngineProcess engine(dir.path());
    EXPECT_EQ(engine.waitFor("***"), "*** kqk.nbw corrupted");
    EXPECT_EQ(engine.waitExit(), 1);
}

TEST(RegistryStartUp, BrokenCompressedFilesEndTheEngineWithTheirMessage) {
    // kqk's white-to-move side, compressed in blocks of 8192 and of 4096 bytes.
    auto packedIn = [](int log2Block) {
        const std::string table(egtb::TableList[5].size[0], '\1');
        TempDir dir;
        FILE* out = std::fopen(dir.file("t.emd").c_str(), "wb");
        EXPECT_TRUE(egtb::writeCompressedTable(reinterpret_cast<const uint8_t*>(table.data()), table.size(),
                                               out, log2Block));
        std::fclose(out);
        return dir.read("t.emd");
    };
    const std::string packed = packedIn(13), blocks4096 = packedIn(12);
    std::string checksumArea = packed;
    checksumArea[84] = char(checksumArea[84] ^ 1);  // a per-block checksum: covered by the header's
    const std::pair<std::string, std::string> cases[] = {
        {packed.substr(0, 70), "*** Unable to read kqk.nbw.emd - read error"},
        {checksumArea, "*** Unable to read kqk.nbw.emd - file broken"},
        {blocks4096, "*** kqk.nbw.emd: Unsupported block size 4096"},
    };
    for (const auto& [bytes, message] : cases) {
        TempDir dir;
        dir.write("kqk.nbw.emd", bytes);
        EngineProcess engine(dir.path());
        EXPECT_EQ(engine.waitFor("***"), message);
        EXPECT_EQ(engine.waitExit(), 1);
    }
}

TEST(RegistryStartUp, LogNamesTheMenAndTheCacheSize) {
    TempDir dir;
    writeTableFile(dir.path(), "kqk", 0);
    dir.write("Talvo.ini", "LOG TRUE\nCACHE_TB 1\n");
    {
        EngineProcess engine(dir.path());
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(), 0);
    }
    EXPECT_EQ(dir.read("Talvo.log"), "Nalimov> 3 pieces\nNalimov> cache = 1048576\n");
}
