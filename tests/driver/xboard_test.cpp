// The real engine driven over pipes, as a chess interface drives it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "support/temp_dir.h"

using testing_support::EngineProcess;
using testing_support::TempDir;

namespace {

// Everything the engine answers before "pong n"; the pong proves it is still alive
// and has handled every line sent before the ping.
std::vector<std::string> repliesUpTo(EngineProcess& engine, int n) {
    engine.send("ping " + std::to_string(n));
    std::vector<std::string> lines;
    std::string line;
    std::string pong = "pong " + std::to_string(n);
    while (engine.readLine(line, 20000)) {
        if (line == pong) return lines;
        lines.push_back(line);
    }
    ADD_FAILURE() << "no " << pong;
    return lines;
}

// The move-number lines of the log, in order.
std::vector<std::string> loggedMoves(const TempDir& dir) {
    std::istringstream log(dir.read("Talvo.log"));
    std::vector<std::string> moves;
    for (std::string line; std::getline(log, line);)
        if (!line.empty() && line[0] >= '1' && line[0] <= '9') moves.push_back(line);
    return moves;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(XboardSession, HandshakeAndReplies) {
    TempDir dir;
    EngineProcess engine(dir.path());
    engine.send("xboard");
    engine.send("protover 2");
    EXPECT_EQ(repliesUpTo(engine, 1),
              (Lines{"Talvo 5.30", "feature ping=1 setboard=1 playother=0 san=0 usermove=0 time=1 draw=0",
                     "feature sigint=0 sigterm=0 reuse=1 analyze=1 variants=\"normal\" colors=1 ics=0",
                     "feature myname=\"Talvo 5.30\" name=1"}));
    EXPECT_EQ(repliesUpTo(engine, 7), Lines{});

    for (const char* line : {"ping", "usermove e2e4", "draw", "hint", "bk", "variant", "random"}) engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 2),
              (Lines{"Error (Unknown command) ping", "Error (Unknown command) usermove e2e4",
                     "Error (Unsuported command) draw", "Error (Unsuported command) hint",
                     "Error (Unsuported command) bk", "Error (Unsuported command) variant",
                     "Error (Unsuported command) random"}));
    EXPECT_FALSE(dir.exists("Talvo.log"));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(XboardSession, NoFeaturesWithoutProtocolTwo) {
    TempDir dir;
    dir.write("Talvo.ini", "WB2 FALSE\n");
    EngineProcess engine(dir.path());
    engine.send("protover 2");
    EXPECT_EQ(repliesUpTo(engine, 1), Lines{});
}

TEST(XboardSession, ForceModeMovesAreLoggedAndEndOfInputEndsTheEngine) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    for (const char* line : {"new", "force", "e2e4", "e7e5", "g1f3"}) engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 1), Lines{});
    engine.closeInput();
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(loggedMoves(dir), (Lines{"1. e2e4", "1. ... e7e5", "2. g1f3"}));
}

TEST(XboardBadInput, OverlongLinesNulBytesCarriageReturnsAndGarbage) {
    TempDir dir;
    EngineProcess engine(dir.path());

    // An over-long line is cut at 4095 characters and its tail dropped.
    engine.send("ping " + std::string(6000, '9'));
    Lines replies = repliesUpTo(engine, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], "pong " + std::string(4090, '9'));

    engine.sendRaw(std::string("ping 5\0tail\n", 12));
    engine.sendRaw("xboard\r\n\n");
    EXPECT_EQ(repliesUpTo(engine, 2), (Lines{"pong 5", "Talvo 5.30", "Error (Unknown command) "}));

    // Bytes of every value in lines of every length, some far over the limit.
    std::string garbage;
    for (int i = 0; i < 40000; ++i) {
        char c = char((i * 73 + 11) % 256);
        garbage += (i % 97 == 0 || (i > 20000 && i % 9001 == 0)) ? '\n' : (c == '\n' ? '\0' : c);
    }
    engine.sendRaw(garbage + "\n");
    for (const std::string& line : repliesUpTo(engine, 3)) EXPECT_EQ(line.rfind("Error (Unknown command) ", 0), 0u);
    engine.send("xboard");
    EXPECT_EQ(repliesUpTo(engine, 4), Lines{"Talvo 5.30"});
}

TEST(XboardBadInput, AbsurdTimeControlsAndDepths) {
    TempDir dir;
    EngineProcess engine(dir.path());
    for (const char* line :
         {"level", "level ", "level 40", "level -1 -1 -1", "level 99999999999999999999 5 99999999999999999999",
          "level 40 x", "time", "time ", "time -100", "time 99999999999999999999", "otim -1",
          "otim 99999999999999999999", "st", "st ", "st -1", "st 99999999999999", "sd", "sd -1",
          "sd 99999999999", "sd x"})
        engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 1), (Lines{"Error (Unknown command) level", "Error (Unknown command) time",
                                             "Error (Unknown command) st", "Error (Unknown command) sd"}));
    // "time" takes the next line along, even when that is the last one.
    engine.send("time 100");
    engine.closeInput();
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(XboardBadInput, BrokenPositionsAndMovesLeaveTheGameAsItWas) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    for (const char* line : {"new", "force", "undo", "remove", "remove", "e2e4"}) engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 1), Lines{});

    for (const char* line : {
             "setboard 4k3/8/8/8/8/8/8/3KK3 w - -",                      // two white kings
             "setboard 8/8/8/8/8/8/8/4K3 w - -",                         // no black king
             "setboard 4k3/8/8/8/8/8/8/K3R3 w - -",                      // Black left in check
             "setboard 4k2P/8/8/8/8/8/8/4K3 b - -",                      // pawn on the last rank
             "setboard 4k3/8/8/8/8/NNNNNNNN/PPPPPPPP/RNBQKBNR w - -",    // seventeen men
             "edit", "#", "Ke1", "Qd1", "c", "Pa1", ".",                 // no black king
         })
        engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 2), Lines(6, "tellusererror Illegal position"));

    engine.send("e7e5");
    engine.send("e3e4");  // nothing stands on e3
    engine.send("e1e8");  // lands on the king
    engine.send("g1f3");
    EXPECT_EQ(repliesUpTo(engine, 3), (Lines{"Illegal move: e3e4", "Illegal move: e1e8"}));

    // Text that does not parse falls back to the start of the game (missing ranks
    // parse as empty, so the first line is a position without a white king).
    for (const char* line : {"setboard rnbqkbnr/pppp w", "setboard \x01\xff", "setboard ", "e2e4"})
        engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 4), Lines{"tellusererror Illegal position"});

    // A placed position castles only with the rook on its corner.
    for (const char* line :
         {"new", "force", "edit", "#", "Ke1", "Ra1", "xb1", "Pz9", "", "c", "ke8", "Ra8", ".", "e1c1", "e8g8", "e8c8"})
        engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 5), Lines{"Illegal move: e8g8"});
    EXPECT_EQ(loggedMoves(dir),
              (Lines{"1. e2e4", "1. ... e7e5", "2. g1f3", "1. e2e4", "1. e1c1", "1. ... e8c8"}));
}

TEST(XboardBadInput, ThreeThousandPliesInForceMode) {
    TempDir dir;
    EngineProcess engine(dir.path());
    engine.send("new");
    engine.send("force");
    const char* shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::string moves;
    for (int ply = 0; ply < 3000; ++ply) moves += std::string(shuffle[ply % 4]) + "\n";
    engine.sendRaw(moves);
    int refused = 0, draws = 0;
    for (const std::string& line : repliesUpTo(engine, 1)) {
        if (line.rfind("Illegal move (game record full): ", 0) == 0) ++refused;
        if (line.rfind("1/2-1/2 ", 0) == 0) ++draws;
    }
    // The record holds 2048 positions: 2047 plies are played, the rest refused.
    EXPECT_EQ(refused, 3000 - 2047);
    EXPECT_GT(draws, 0);
    engine.send("undo");
    engine.send("f6g8");
    engine.send("f6g8");
    Lines last = repliesUpTo(engine, 2);
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[1], "Illegal move (game record full): f6g8");
}
