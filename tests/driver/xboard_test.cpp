// The real engine driven over pipes, as a chess interface drives it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/engine_play_support.h"
#include "support/temp_dir.h"

using testing_support::EngineProcess;
using testing_support::TempDir;
using Lines = std::vector<std::string>;

namespace {

// Sends lines, then "ping n"; what came before "pong n" proves the engine is alive
// and has handled every line.
Lines talk(EngineProcess& engine, const Lines& lines, int n = 1) {
    for (const std::string& line : lines) engine.send(line);
    return play_support::repliesUpTo(engine, n, 20000);
}

}  // namespace

TEST(XboardSession, HandshakeRepliesLogAndExit) {
    TempDir dir;
    EngineProcess engine(dir.path());
    EXPECT_EQ(talk(engine, {"xboard", "protover 2"}),
              (Lines{"Talvo 5.30", "feature ping=1 setboard=1 playother=0 san=0 usermove=0 time=1 draw=0",
                     "feature sigint=0 sigterm=0 reuse=1 analyze=1 variants=\"normal\" colors=1 ics=0",
                     "feature myname=\"Talvo 5.30\" name=1", "feature smp=1 memory=1 egt=\"nalimov\"",
                     "feature done=1"}));
    EXPECT_EQ(talk(engine, {"ping", "usermove e2e4", "draw", "hint", "bk", "variant", "random"}, 7),
              (Lines{"Error (Unknown command) ping", "Error (Unknown command) usermove e2e4",
                     "Error (Unsuported command) draw", "Error (Unsuported command) hint",
                     "Error (Unsuported command) bk", "Error (Unsuported command) variant",
                     "Error (Unsuported command) random"}));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);

    TempDir quiet;
    quiet.write("Talvo.ini", "WB2 FALSE\nLOG TRUE\n");
    EngineProcess other(quiet.path());
    EXPECT_EQ(talk(other, {"protover 2", "new", "force", "e2e4", "e7e5", "g1f3"}), Lines{});
    other.closeInput();  // end of input ends the engine as "quit" does
    EXPECT_EQ(other.waitExit(), 0);
    EXPECT_EQ(play_support::loggedLines(quiet, {"1.", "2."}), (Lines{"1. e2e4", "1. ... e7e5", "2. g1f3"}));
}

TEST(XboardBadInput, OverlongLinesNulBytesCarriageReturnsAndGarbage) {
    TempDir dir;
    EngineProcess engine(dir.path());
    // Cut at 4095 characters; the tail is dropped, not read as a command.
    EXPECT_EQ(talk(engine, {"ping " + std::string(6000, '9')}), Lines{"pong " + std::string(4090, '9')});
    engine.sendRaw(std::string("ping 5\0tail\nxboard\r\n\n", 21));
    EXPECT_EQ(talk(engine, {}), (Lines{"pong 5", "Talvo 5.30", "Error (Unknown command) "}));

    std::string garbage;  // every byte value, lines short and far too long
    for (int i = 1; i < 40000; ++i) {
        char c = char((i * 73 + 11) % 256);
        garbage += (i % 97 == 0 || i % 9001 == 0) ? '\n' : (c == '\n' ? '\0' : c);
    }
    engine.sendRaw(garbage + "\n");
    for (const std::string& reply : talk(engine, {}, 2))
        EXPECT_EQ(reply.rfind("Error (Unknown command) ", 0), 0u) << reply;

    for (const char* line :
         {"level", "level ", "level 40", "level -1 -1 -1", "level 99999999999999 5 99999999999", "time",
          "time -100", "time 99999999999999999999", "otim -1", "st", "st -1", "st 99999999999999", "sd",
          "sd -1", "sd 99999999999", "sd x"})
        engine.send(line);
    EXPECT_EQ(talk(engine, {"xboard"}, 3),
              (Lines{"Error (Unknown command) level", "Error (Unknown command) time",
                     "Error (Unknown command) st", "Error (Unknown command) sd", "Talvo 5.30"}));
    engine.send("time 100");  // takes the next line along, here the end of input
    engine.closeInput();
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(XboardBadInput, BrokenPositionsAndMovesLeaveTheGameAsItWas) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    EXPECT_EQ(talk(engine, {"new", "force", "undo", "remove", "remove", "e2e4"}), Lines{});
    EXPECT_EQ(talk(engine, {"setboard 4k3/8/8/8/8/8/8/3KK3 w - -", "setboard 8/8/8/8/8/8/8/4K3 w - -",
                            "setboard 4k3/8/8/8/8/8/8/K3R3 w - -", "setboard 4k2P/8/8/8/8/8/8/4K3 b - -",
                            "setboard 4k3/8/8/8/8/NNNNNNNN/PPPPPPPP/RNBQKBNR w - -",
                            "setboard rnbqkbnr/pppp w",  // missing ranks are empty: no white king
                            "edit", "#", "Ke1", "Qd1", "c", "Pa1", "."}),
              Lines(7, "tellusererror Illegal position"));
    // Nothing on e3; a move onto the king.
    EXPECT_EQ(talk(engine, {"e7e5", "e3e4", "e1e8", "g1f3"}),
              (Lines{"Illegal move: e3e4", "Illegal move: e1e8"}));
    // Text that does not parse goes back to the start of the game.
    EXPECT_EQ(talk(engine, {"setboard \x01\xff", "setboard ", "e2e4"}), Lines{});
    // A placed position castles only with the rook on its corner.
    EXPECT_EQ(talk(engine, {"new", "force", "edit", "#", "Ke1", "Ra1", "xb1", "Pz9", "", "c", "ke8", "Ra8", ".",
                            "e1c1", "e8g8", "e8c8"}),
              Lines{"Illegal move: e8g8"});
    EXPECT_EQ(play_support::loggedLines(dir, {"1.", "2."}),
              (Lines{"1. e2e4", "1. ... e7e5", "2. g1f3", "1. e2e4", "1. e1c1", "1. ... e8c8"}));
}

TEST(XboardBadInput, ThreeThousandPliesInForceMode) {
    TempDir dir;
    EngineProcess engine(dir.path());
    const char* shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    Lines moves{"new", "force"};
    for (int ply = 0; ply < 3000; ++ply) moves.push_back(shuffle[ply % 4]);
    int refused = 0;
    for (const std::string& reply : talk(engine, moves))
        if (reply.rfind("Illegal move (game record full): ", 0) == 0) ++refused;
    EXPECT_EQ(refused, 3000 - 2047);  // 2048 positions, 2047 plies
    Lines last = talk(engine, {"undo", "f6g8", "f6g8"}, 2);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), "Illegal move (game record full): f6g8");
}

// "memory" and "egtpath" between games, as interfaces send them; a bad value is
// refused, never fatal; tablebases named by "egtpath" are probed; a change during a
// search waits for it to end.
TEST(XboardResources, MemoryAndTablebasePaths) {
    TempDir tables;
    std::string report;
    ASSERT_TRUE(play_support::writeQueenTables(tables, &report)) << report;
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\nENABLE_BOOK FALSE\n");
    EngineProcess engine(dir.path());
    EXPECT_EQ(talk(engine, {"xboard", "protover 2"}).size(), 6u);
    EXPECT_EQ(talk(engine, {"memory 0", "egtpath nalimov /no/such/dir", "egtpath gaviota /x", "memory 16"}),
              (Lines{"Error (memory needs at least 1 MB): memory 0",
                     "Error (no tablebase directory /no/such/dir): egtpath nalimov /no/such/dir"}));
    // With tables registered an eighth of the memory goes to their cache.
    EXPECT_EQ(talk(engine, {"egtpath nalimov " + tables.path(), "memory 64"}), Lines{});

    // Queen against king: the analysis soon shows the mate the tables know. The
    // "memory" sent meanwhile waits for the analysis to end.
    for (const char* line : {"new", "force", "setboard 8/8/8/8/8/8/1Q6/K6k w - - 0 1", "post", "analyze"})
        engine.send(line);
    bool mateScore = false;
    std::string reply;
    while (!mateScore && engine.readLine(reply, 10000)) {
        const Lines w = play_support::words(reply);
        mateScore = play_support::isThinkingLine(reply) && std::stol(w[1]) > 29000;
    }
    EXPECT_TRUE(mateScore);
    engine.send("exit");
    for (const char* command : {"setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "analyze"})
        engine.send(command);
    engine.drain(500);  // the analysis of the opening runs until "exit"
    engine.send("memory 8");
    engine.send("exit");
    talk(engine, {}, 2);
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(play_support::loggedLines(dir, {"memory", "tablebases", "kept", "no "}),
              (Lines{"memory needs at least 1 MB", "no tablebase directory /no/such/dir",
                     "memory: table 16 MB, tablebase cache 0 MB", "tablebases registered up to 3 men",
                     "memory: table 56 MB, tablebase cache 8 MB", "kept until the search ends",
                     "memory: table 7 MB, tablebase cache 1 MB"}));
}

// Search threads from THREADS and from "cores": the engine plays on with them; a
// count below 1 is refused. Run under ThreadSanitizer as well (test.sh).
TEST(XboardThreads, CoresSetsTheSearchThreads) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\nENABLE_BOOK FALSE\nTHREADS 3\n");
    EngineProcess engine(dir.path());
    Lines said = talk(engine, {"xboard", "protover 2", "cores 0", "cores 2"});
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "Error (at least 1 thread): cores 0");
    for (const char* line : {"new", "sd 6", "go"}) engine.send(line);
    play_support::Referee game;
    EXPECT_TRUE(game.play(play_support::nextMove(engine)));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(play_support::loggedLines(dir, {"threads", "at least"}),
              (Lines{"threads 3", "at least 1 thread", "threads 2"}));
}
