#include "driver/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <random>
#include <string>

#include "base/log.h"
#include "support/temp_dir.h"

using driver::EngineConfigState;
using testing_support::TempDir;

namespace {

// A config read from the given text as the only contents of Talvo.ini.
EngineConfigState readFrom(const TempDir& dir, const std::string& text) {
    dir.write("Talvo.ini", text);
    EngineConfigState config;  // reads the working directory's file: none in tests
    config.setDefaults();
    config.readIni(dir.file("Talvo.ini").c_str());
    return config;
}

}  // namespace

TEST(IniFile, DefaultsFromAnEmptyOrMissingFile) {
    TempDir dir;
    EngineConfigState c = readFrom(dir, "");
    EXPECT_EQ(c.sizeHt, 4);
    EXPECT_EQ(c.cacheTb, 0);
    EXPECT_EQ(c.drawValue, 0);
    EXPECT_TRUE(c.enableResign);
    EXPECT_TRUE(c.enableBook);
    EXPECT_FALSE(c.log);
    EXPECT_TRUE(c.learn);
    EXPECT_TRUE(c.wb2);
    EXPECT_STREQ(c.pathTb, "");
    c.readIni(dir.file("missing.ini").c_str());
    EXPECT_EQ(c.sizeHt, 4);
}

TEST(IniFile, NumbersAfterTheKeyWithFreeSeparators) {
    TempDir dir;
    EngineConfigState c = readFrom(dir, "DRAW_VALUE -25\nSIZE_HT=8\nCACHE_TB: 16MB\n");
    EXPECT_EQ(c.drawValue, -25);
    EXPECT_EQ(c.sizeHt, 8);
    EXPECT_EQ(c.cacheTb, 16);
    // The key alone (or a lone minus) sets 0, not the default; later lines win.
    c = readFrom(dir, "SIZE_HT\nDRAW_VALUE -\nCACHE_TB 3\nCACHE_TB 5\n");
    EXPECT_EQ(c.sizeHt, 0);
    EXPECT_EQ(c.drawValue, 0);
    EXPECT_EQ(c.cacheTb, 5);
    c = readFrom(dir, "SIZE_HT 8\nSIZE_HT 16\n");
    EXPECT_EQ(c.sizeHt, 16);
    // Lower-case keys do not match; huge numbers do not overflow into nonsense.
    c = readFrom(dir, "size_ht 64\nDRAW_VALUE 99999999999999999999\n");
    EXPECT_EQ(c.sizeHt, 4);
    EXPECT_EQ(c.drawValue, 2147483647);
}

TEST(IniFile, FlagsAndPrefixKeys) {
    TempDir dir;
    EngineConfigState c = readFrom(dir, "ENABLE_BOOK TRUE FALSE\nLOGFILE TRUE\nWB2 FALSE\nLEARN maybe\n");
    EXPECT_FALSE(c.enableBook);  // FALSE is read after TRUE
    EXPECT_TRUE(c.log);          // LOGFILE begins with LOG
    EXPECT_FALSE(c.wb2);
    EXPECT_TRUE(c.learn);        // neither word: unchanged
    c = readFrom(dir, "ENABLE_RESIGN false\nENABLE_BOOK=FALSE\n");
    EXPECT_TRUE(c.enableResign);  // case-sensitive
    EXPECT_FALSE(c.enableBook);
}

TEST(IniFile, QuotedTablebasePath) {
    TempDir dir;
    EngineConfigState c = readFrom(dir, "PATH_TB \"/opt/tb;/mnt/tb\"\n");
    EXPECT_STREQ(c.pathTb, "/opt/tb;/mnt/tb");
    c = readFrom(dir, "PATH_TB /opt/tb\n");
    EXPECT_STREQ(c.pathTb, "");
    c = readFrom(dir, "PATH_TB \"\"\n");
    EXPECT_STREQ(c.pathTb, "");
    c = readFrom(dir, "PATH_TB \"/a\"\nPATH_TB \"unclosed\n");
    EXPECT_STREQ(c.pathTb, "/a");
    // A path longer than the buffer is cut, never written past it.
    c = readFrom(dir, "PATH_TB \"" + std::string(300, 'x') + "\"\n");
    EXPECT_LT(std::string(c.pathTb).size(), sizeof c.pathTb);
}

TEST(IniFile, HostileFilesAreReadWithoutHarm) {
    TempDir dir;
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        int length = int(random() % 2000);
        const char* words[] = {"SIZE_HT", "LOG", "PATH_TB", "\"", "TRUE", "FALSE", "-", "\n", "\r\n", " "};
        for (int i = 0; i < length; ++i) {
            if (random() % 3 == 0) text += words[random() % 10];
            else text += char(random() % 256);
        }
        EngineConfigState c = readFrom(dir, text);
        EXPECT_LT(std::string(c.pathTb).size(), sizeof c.pathTb);
    }
    // A line longer than the reader's buffer arrives in pieces.
    EngineConfigState c = readFrom(dir, std::string(300, ' ') + "\nSIZE_HT 12\n" + std::string(600, 'A') + "\0SIZE_HT 1\n");
    EXPECT_EQ(c.sizeHt, 12);
}

TEST(LogFile, WrittenOnlyWhenLoggingIsOn) {
    TempDir dir;
    testing_support::ScopedWorkingDir inDir(dir.path());
    EngineConfigState c = readFrom(dir, "LOG FALSE\n");
    base::logLine("first");
    EXPECT_FALSE(dir.exists("Talvo.log"));
    c = readFrom(dir, "LOG TRUE\n");
    base::logLine("1. e2e4");
    base::logLine("1. ... e7e5");
    EXPECT_EQ(dir.read("Talvo.log"), "1. e2e4\n1. ... e7e5\n");

    // A log that cannot be opened for writing (here a folder holds its name)
    // drops its lines, and the engine goes on.
    std::remove(dir.file("Talvo.log").c_str());
    ASSERT_EQ(mkdir(dir.file("Talvo.log").c_str(), 0700), 0);
    base::logLine("2. d2d4");
    EXPECT_TRUE(dir.exists("Talvo.log"));
    rmdir(dir.file("Talvo.log").c_str());
}
