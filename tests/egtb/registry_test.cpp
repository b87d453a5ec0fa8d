// Finding, checking and registering tablebase files, and the start-up failures.
#include "egtb/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST_F(Registry, CompressedFilesAreCountedButNotRegistered) {
    TempDir dir;
    dir.write("kqkr.nbw.emd", "x");
    dir.write("kqkrnbb.emd", "x");
    egtb::initTablebases(dir.path().c_str(), 0);
    EXPECT_EQ(TablebaseSet.compressedFiles, 2);
    EXPECT_EQ(pathOf(19, 0), "");
    EXPECT_EQ(pathOf(19, 1), "");
    EXPECT_EQ(TablebaseSet.pieceCount, 0);
}

TEST(RegistryStartUp, WrongSizedFileEndsTheEngineWithStatusOne) {
    for (long delta : {-1L, 1L}) {
        TempDir dir;
        writeTableFile(dir.path(), "kqk", 0, 0, {}, delta);
        EngineProcess engine(dir.path());
        EXPECT_EQ(engine.waitFor("***"), "*** kqk.nbw corrupted");
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
