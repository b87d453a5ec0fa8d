#include "driver/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

TEST(IniFile, DefaultsNumbersAndFlags) {
    TempDir dir;
    EngineConfigState c = readFrom(dir, "");
    EXPECT_EQ(c.sizeHt, 4);
    EXPECT_EQ(c.cacheTb, 0);
    EXPECT_EQ(c.drawValue, 0);
    EXPECT_TRUE(c.enableResign && c.enableBook && c.learn && c.wb2 && !c.log);
    EXPECT_STREQ(c.pathTb, "");

    // The first number after the key, whatever stands between; later lines win.
    c = readFrom(dir, "DRAW_VALUE -25\nSIZE_HT 3\nSIZE_HT=8\nCACHE_TB: 16MB\n");
    EXPECT_EQ(c.drawValue, -25);
    EXPECT_EQ(c.sizeHt, 8);
    EXPECT_EQ(c.cacheTb, 16);
    // The key alone (or a lone minus) sets 0, not the default; lower case is no key;
    // huge numbers do not overflow into nonsense.
    c = readFrom(dir, "SIZE_HT\nDRAW_VALUE -\nsize_ht 64\n");
    EXPECT_EQ(c.sizeHt, 0);
    EXPECT_EQ(c.drawValue, 0);
    EXPECT_EQ(readFrom(dir, "DRAW_VALUE 99999999999999999999\n").drawValue, 2147483647);

    // FALSE after TRUE on one line wins; LOGFILE begins with LOG; neither word, or
    // lower case, leaves the flag alone.
    c = readFrom(dir, "ENABLE_BOOK TRUE FALSE\nLOGFILE TRUE\nLEARN maybe\nENABLE_RESIGN false\n");
    EXPECT_FALSE(c.enableBook);
    EXPECT_TRUE(c.log);
    EXPECT_TRUE(c.learn);
    EXPECT_TRUE(c.enableResign);
}

TEST(IniFile, QuotedTablebasePathAndOverlongLines) {
    TempDir dir;
    EXPECT_STREQ(readFrom(dir, "PATH_TB \"/opt/tb;/mnt/tb\"\n").pathTb, "/opt/tb;/mnt/tb");
    EXPECT_STREQ(readFrom(dir, "PATH_TB /opt/tb\n").pathTb, "");
    EXPECT_STREQ(readFrom(dir, "PATH_TB \"/a\"\nPATH_TB \"unclosed\n").pathTb, "/a");
    // A path longer than the buffer is cut, never written past it.
    EngineConfigState c = readFrom(dir, "PATH_TB \"" + std::string(300, 'x') + "\"\n");
    EXPECT_LT(std::string(c.pathTb).size(), sizeof c.pathTb);

    // A line longer than the reader's buffer arrives in pieces.
    c = readFrom(dir, std::string(300, ' ') + "\nSIZE_HT 12\n" + std::string(600, 'A') + "\0SIZE_HT 1\n");
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
