// The engine process as an interface sees it: it starts, reads lines, and ends.
#include <gtest/gtest.h>

#include "support/engine_process.h"
#include "support/temp_dir.h"

using testing_support::EngineProcess;
using testing_support::TempDir;

TEST(EngineProcess, QuitAndEndOfInputBothExitCleanly) {
    TempDir dir;
    {
        EngineProcess engine(dir.path());
        engine.send("xboard");
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(), 0);
    }
    {
        EngineProcess engine(dir.path());
        engine.closeInput();
        EXPECT_EQ(engine.waitExit(), 0);
    }
    // Settings that would switch the log on do not make the engine write at start.
    dir.write("Talvo.ini", "LOG TRUE\n");
    {
        EngineProcess engine(dir.path());
        engine.sendRaw(std::string("\0\xff\r\n", 4) + std::string(10000, 'x') + "\nquit\n");
        EXPECT_EQ(engine.waitExit(), 0);
    }
}
