// UCI conversations with the real engine over pipes: the handshake, positions and
// moves, every kind of "go", stopping, pondering and malformed input.
#include <gtest/gtest.h>

#include "driver/engine_play_support.h"
#include "support/temp_dir.h"

using namespace play_support;
using testing_support::TempDir;

namespace {

// Lines up to and including the first that starts with prefix.
Lines linesUpTo(EngineProcess& engine, const std::string& prefix, int timeoutMs = 30000) {
    Lines lines;
    std::string line;
    while (engine.readLine(line, timeoutMs)) {
        lines.push_back(line);
        if (startsWith(line, prefix)) return lines;
    }
    lines.push_back("(no " + prefix + ")");
    return lines;
}

std::string lastLine(const Lines& lines) { return lines.empty() ? "" : lines.back(); }

// The move of a "bestmove X [ponder Y]" line.
std::string bestMoveOf(const std::string& line) {
    std::istringstream words(line);
    std::string keyword, move;
    words >> keyword >> move;
    return keyword == "bestmove" ? move : "";
}

struct Uci {
    TempDir dir;
    EngineProcess engine{dir.path()};
    Uci() {
        engine.send("uci");
        Lines hello = linesUpTo(engine, "uciok");
        EXPECT_EQ(hello.front(), "id name Talvo 5.30");
        EXPECT_EQ(lastLine(hello), "uciok");
    }
    bool ready() {
        engine.send("isready");
        return lastLine(linesUpTo(engine, "readyok")) == "readyok";
    }
};

}  // namespace

TEST(Uci, HandshakeOptionsAndPositions) {
    TempDir dir;
    dir.write("Talvo.ini", "SIZE_HT 16\nENABLE_BOOK FALSE\n");
    EngineProcess engine(dir.path());
    engine.send("uci");
    const Lines hello = linesUpTo(engine, "uciok");
    // Settings from the file are the defaults the interface sees.
    EXPECT_NE(std::find(hello.begin(), hello.end(), "option name Hash type spin default 16 min 1 max 4095"), hello.end());
    EXPECT_NE(std::find(hello.begin(), hello.end(), "option name OwnBook type check default false"), hello.end());
    EXPECT_NE(std::find(hello.begin(), hello.end(), "option name Ponder type check default false"), hello.end());
    EXPECT_TRUE(std::any_of(hello.begin(), hello.end(), [](const std::string& l) { return startsWith(l, "id author "); }));

    engine.send("setoption name Hash value 8");
    engine.send("ucinewgame");
    // Castling as the king's two squares, promotion in lower case.
    engine.send("position fen 4k3/1P6/8/8/8/8/8/R3K3 w Q - 0 1 moves e1c1 e8f7");
    engine.send("go depth 3");
    std::string best = bestMoveOf(lastLine(linesUpTo(engine, "bestmove")));
    Referee referee("4k3/1P6/8/8/8/8/8/R3K3 w Q -");
    ASSERT_TRUE(referee.play("e1c1"));
    ASSERT_TRUE(referee.play("e8f7"));
    EXPECT_TRUE(referee.play(best)) << best;
    EXPECT_EQ(best, "b7b8q");  // promotions are written in lower case

    engine.send("position startpos moves e2e4 e7e5 g1f3");
    engine.send("go depth 4");
    Lines search = linesUpTo(engine, "bestmove");
    Referee game;
    for (const char* m : {"e2e4", "e7e5", "g1f3"}) ASSERT_TRUE(game.play(m));
    EXPECT_TRUE(game.play(bestMoveOf(lastLine(search)))) << lastLine(search);
    // The reports: depth, score, time, nodes, nps, then the line.
    bool sawInfo = false;
    for (const std::string& line : search)
        if (startsWith(line, "info depth 4 score cp ")) {
            sawInfo = true;
            EXPECT_NE(line.find(" time "), std::string::npos);
            EXPECT_NE(line.find(" nodes "), std::string::npos);
            EXPECT_NE(line.find(" nps "), std::string::npos);
            EXPECT_NE(line.find(" pv "), std::string::npos);
        }
    EXPECT_TRUE(sawInfo);
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(Uci, MatesStopsAndInfiniteSearches) {
    Uci uci;
    // Mate in one: "score mate 1"; the mated side sees "score mate -1".
    uci.engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    uci.engine.send("go depth 4");
    Lines lines = linesUpTo(uci.engine, "bestmove");
    EXPECT_EQ(bestMoveOf(lastLine(lines)), "a1a8");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("score mate 1 ") != std::string::npos; }));
    uci.engine.send("position fen k7/8/1K6/8/8/8/8/7R b - - 0 1");
    uci.engine.send("go depth 4");
    lines = linesUpTo(uci.engine, "bestmove");
    EXPECT_EQ(bestMoveOf(lastLine(lines)), "a8b8");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("score mate -1 ") != std::string::npos; }));

    // "go infinite" answers only after "stop", even once it has nothing left to
    // search; "isready" is answered meanwhile.
    uci.engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    uci.engine.send("go infinite");
    EXPECT_TRUE(uci.ready());
    Lines early = uci.engine.drain(500);
    EXPECT_TRUE(std::none_of(early.begin(), early.end(), [](const std::string& l) { return startsWith(l, "bestmove"); }));
    uci.engine.send("stop");
    EXPECT_EQ(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove"))), "a1a8");

    // "stop" during a long search answers with a legal move at once.
    uci.engine.send("position startpos");
    uci.engine.send("go infinite");
    uci.engine.drain(300);
    EXPECT_TRUE(uci.ready());
    uci.engine.send("stop");
    Referee start;
    EXPECT_TRUE(start.play(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove", 5000)))));

    // A clock: a move comes, and well within the time given.
    uci.engine.send("position startpos moves d2d4");
    uci.engine.send("go wtime 2000 btime 2000 winc 0 binc 0 movestogo 10");
    Referee afterD4;
    ASSERT_TRUE(afterD4.play("d2d4"));
    EXPECT_TRUE(afterD4.play(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove", 3000)))));
    uci.engine.send("go movetime 200");
    EXPECT_NE(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove", 3000))), "");
}

TEST(Uci, PonderWaitsForTheHitOrTheStop) {
    Uci uci;
    // Pondering on a position where the search ends at once (mate found): still
    // no answer until "ponderhit".
    uci.engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    uci.engine.send("go ponder wtime 10000 btime 10000");
    Lines early = uci.engine.drain(500);
    EXPECT_TRUE(std::none_of(early.begin(), early.end(), [](const std::string& l) { return startsWith(l, "bestmove"); }));
    uci.engine.send("ponderhit");
    EXPECT_EQ(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove"))), "a1a8");

    // A ponder search in a real position turns into a timed search after the hit.
    uci.engine.send("position startpos moves e2e4");
    uci.engine.send("go ponder wtime 3000 btime 3000");
    uci.engine.drain(200);
    uci.engine.send("ponderhit");
    Referee game;
    ASSERT_TRUE(game.play("e2e4"));
    EXPECT_TRUE(game.play(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove", 5000)))));
    // A ponder miss: the interface stops, gets a move, and sets the real position.
    uci.engine.send("go ponder wtime 3000 btime 3000");
    uci.engine.drain(200);
    uci.engine.send("stop");
    EXPECT_NE(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove", 5000))), "");
}

TEST(Uci, MalformedInputIsReportedNeverFatal) {
    Uci uci;
    const char* bad[] = {
        "position",           "position sideways",           "position fen garbage",
        "position fen 8/8/8/8/8/8/8/8 w - - 0 1",                 // no kings
        "position startpos moves e2e5 e7e5",                      // illegal move
        "position startpos moves e2",  "setoption",      "setoption name Hash value many",
        "setoption name Colour value blue",  "frobnicate", "\x01\x02\xff",
        "go wtime -5 btime x",  // an empty clock: a move at once
    };
    for (const char* line : bad) uci.engine.send(line);
    // A "go" whose limits are unreadable searches until "stop", as a bare "go".
    uci.engine.send("go depth");
    uci.engine.send("go sideways 3");
    uci.engine.send("isready");
    Lines said = linesUpTo(uci.engine, "readyok");
    EXPECT_EQ(lastLine(said), "readyok");
    said.pop_back();
    uci.engine.send("stop");
    for (const std::string& line : uci.engine.drain(1000)) said.push_back(line);
    for (const std::string& line : said)
        EXPECT_TRUE(startsWith(line, "info") || startsWith(line, "bestmove")) << line;
    EXPECT_TRUE(std::any_of(said.begin(), said.end(), [](const std::string& l) { return startsWith(l, "info string"); }));
    // The engine still plays from a sound position.
    uci.engine.send("position startpos");
    uci.engine.send("go depth 2");
    Referee start;
    EXPECT_TRUE(start.play(bestMoveOf(lastLine(linesUpTo(uci.engine, "bestmove")))));
    // End of input ends the engine as "quit" does.
    uci.engine.closeInput();
    EXPECT_EQ(uci.engine.waitExit(), 0);
}

TEST(Uci, XboardStaysTheDefault) {
    TempDir dir;
    EngineProcess engine(dir.path());
    engine.send("xboard");
    engine.send("uci");  // not the first command: an unknown xboard command
    Lines lines = repliesUpTo(engine, 1);
    EXPECT_EQ(lines, (Lines{"Talvo 5.30", "Error (Unknown command) uci"}));
}
