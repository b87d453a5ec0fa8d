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

// The move of the "bestmove X [ponder Y]" line that ends the search.
std::string bestMove(EngineProcess& engine, Lines* seen = nullptr, int timeoutMs = 30000) {
    Lines lines = linesUpTo(engine, "bestmove", timeoutMs);
    if (seen) *seen = lines;
    const Lines w = words(lines.back());
    return w.size() > 1 && w[0] == "bestmove" ? w[1] : "";
}

bool anyLineHas(const Lines& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

struct Uci {
    TempDir dir;
    EngineProcess engine{dir.path()};
    Uci() {
        engine.send("uci");
        Lines hello = linesUpTo(engine, "uciok");
        EXPECT_EQ(hello.front(), "id name Talvo 5.30");
        EXPECT_EQ(hello.back(), "uciok");
    }
    bool ready() {
        engine.send("isready");
        return linesUpTo(engine, "readyok").back() == "readyok";
    }
    void send(const Lines& lines) {
        for (const std::string& line : lines) engine.send(line);
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
    for (const char* option : {"option name Hash type spin default 16 min 1 max 4095",
                               "option name OwnBook type check default false",
                               "option name Ponder type check default false",
                               "option name Clear Hash type button", "id author "})
        EXPECT_TRUE(anyLineHas(hello, option)) << option;

    // Castling as the king's two squares; promotions are written in lower case.
    for (const char* line : {"setoption name Hash value 8", "ucinewgame",
                             "position fen 4k3/1P6/8/8/8/8/8/R3K3 w Q - 0 1 moves e1c1 e8f7", "go depth 3"})
        engine.send(line);
    EXPECT_EQ(bestMove(engine), "b7b8q");

    engine.send("position startpos moves e2e4 e7e5 g1f3");
    engine.send("go depth 4");
    Lines search;
    Referee game;
    for (const char* m : {"e2e4", "e7e5", "g1f3"}) ASSERT_TRUE(game.play(m));
    EXPECT_TRUE(game.play(bestMove(engine, &search)));
    // The reports: depth, score, time, nodes, nps, then the line.
    bool sawInfo = false;
    for (const std::string& line : search)
        if (startsWith(line, "info depth 4 score cp ")) {
            sawInfo = true;
            for (const char* field : {" time ", " nodes ", " nps ", " pv "})
                EXPECT_NE(line.find(field), std::string::npos) << line;
        }
    EXPECT_TRUE(sawInfo);

    // The table keeps the work of a search for the next one; "Clear Hash" empties it.
    auto nodesOfSearch = [&engine] {
        engine.send("go depth 6");
        Lines lines;
        bestMove(engine, &lines);
        long long nodes = 0;
        for (const std::string& line : lines) {
            const Lines w = words(line);
            for (size_t i = 0; i + 1 < w.size(); ++i)
                if (w[i] == "nodes") nodes = std::stoll(w[i + 1]);
        }
        return nodes;
    };
    engine.send("setoption name Hash value 16");
    engine.send("position startpos moves e2e4 e7e5");
    const long long fresh = nodesOfSearch(), again = nodesOfSearch();
    engine.send("setoption name Clear Hash");
    const long long cleared = nodesOfSearch();
    EXPECT_LT(again, fresh);
    EXPECT_GT(cleared, again);
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(Uci, MatesStopsAndInfiniteSearches) {
    Uci uci;
    // Mate in one: "score mate 1"; the mated side sees "score mate -1".
    Lines lines;
    uci.send({"position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go depth 4"});
    EXPECT_EQ(bestMove(uci.engine, &lines), "a1a8");
    EXPECT_TRUE(anyLineHas(lines, "score mate 1 "));
    uci.send({"position fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 4"});
    EXPECT_EQ(bestMove(uci.engine, &lines), "a8b8");
    EXPECT_TRUE(anyLineHas(lines, "score mate -1 "));

    // "go infinite" answers only after "stop", even once it has nothing left to
    // search; "isready" is answered meanwhile.
    uci.send({"position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go infinite"});
    EXPECT_TRUE(uci.ready());
    EXPECT_FALSE(anyLineHas(uci.engine.drain(500), "bestmove"));
    uci.send({"stop"});
    EXPECT_EQ(bestMove(uci.engine), "a1a8");

    // "stop" during a long search answers with a legal move at once.
    uci.send({"position startpos", "go infinite"});
    uci.engine.drain(300);
    EXPECT_TRUE(uci.ready());
    uci.send({"stop"});
    EXPECT_TRUE(Referee().play(bestMove(uci.engine, nullptr, 5000)));

    // A clock: a move comes, and well within the time given.
    uci.send({"position startpos moves d2d4", "go wtime 2000 btime 2000 winc 0 binc 0 movestogo 10"});
    Referee afterD4;
    ASSERT_TRUE(afterD4.play("d2d4"));
    EXPECT_TRUE(afterD4.play(bestMove(uci.engine, nullptr, 3000)));
    uci.send({"go movetime 200"});
    EXPECT_NE(bestMove(uci.engine, nullptr, 3000), "");
}

TEST(Uci, PonderWaitsForTheHitOrTheStop) {
    Uci uci;
    // Pondering on a position where the search ends at once (mate found): still
    // no answer until "ponderhit".
    uci.send({"position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go ponder wtime 10000 btime 10000"});
    EXPECT_FALSE(anyLineHas(uci.engine.drain(500), "bestmove"));
    uci.send({"ponderhit"});
    EXPECT_EQ(bestMove(uci.engine), "a1a8");

    // A ponder search in a real position turns into a timed search after the hit.
    uci.send({"position startpos moves e2e4", "go ponder wtime 3000 btime 3000"});
    uci.engine.drain(200);
    uci.send({"ponderhit"});
    Referee game;
    ASSERT_TRUE(game.play("e2e4"));
    EXPECT_TRUE(game.play(bestMove(uci.engine, nullptr, 5000)));
    // A ponder miss: the interface stops, gets a move, and sets the real position.
    uci.send({"go ponder wtime 3000 btime 3000"});
    uci.engine.drain(200);
    uci.send({"stop"});
    EXPECT_NE(bestMove(uci.engine, nullptr, 5000), "");
}

// The tablebase options: a path that does not exist and a negative cache are
// refused with a reason; tables on a path that does exist are probed.
TEST(Uci, TablebaseOptions) {
    TempDir tables;
    std::string report;
    ASSERT_TRUE(writeQueenTables(tables, &report)) << report;
    TempDir dir;
    dir.write("Talvo.ini", "CACHE_TB 4\n");
    EngineProcess engine(dir.path());
    engine.send("uci");
    const Lines hello = linesUpTo(engine, "uciok");
    for (const char* option : {"option name NalimovPath type string default <empty>",
                               "option name NalimovCache type spin default 4 min 0 max 2047"})
        EXPECT_TRUE(anyLineHas(hello, option)) << option;
    for (const char* line : {"setoption name NalimovPath value /no/such/dir", "setoption name NalimovCache value -1",
                             "isready"})
        engine.send(line);
    EXPECT_EQ(linesUpTo(engine, "readyok"),
              (Lines{"info string no tablebase directory /no/such/dir: /no/such/dir",
                     "info string NalimovCache needs a number of megabytes: -1", "readyok"}));
    // Queen against king at depth 1: only the tables see the mate this far off.
    engine.send("setoption name NalimovPath value " + tables.path());
    engine.send("setoption name NalimovCache value 2");
    engine.send("position fen 8/8/8/8/8/8/1Q6/K6k w - - 0 1");
    engine.send("go depth 1");
    Lines search;
    EXPECT_FALSE(bestMove(engine, &search).empty());
    EXPECT_TRUE(anyLineHas(search, "score mate ")) << search.front();
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

// The Threads option: listed, refused below 1, and a search with two threads
// plays a legal move. Run under ThreadSanitizer as well (test.sh).
TEST(UciThreads, ThreadsOption) {
    Uci uci;
    uci.send({"setoption name Threads value 0", "isready"});
    EXPECT_EQ(linesUpTo(uci.engine, "readyok"), (Lines{"info string Threads needs a number of at least 1: 0", "readyok"}));
    uci.send({"setoption name Threads value 2", "position startpos moves e2e4", "go depth 6"});
    Referee game;
    ASSERT_TRUE(game.play("e2e4"));
    EXPECT_TRUE(game.play(bestMove(uci.engine)));
    uci.send({"uci"});
    EXPECT_TRUE(anyLineHas(linesUpTo(uci.engine, "uciok"), "option name Threads type spin default 2 min 1 max 64"));
    uci.send({"quit"});
    EXPECT_EQ(uci.engine.waitExit(), 0);
}

TEST(Uci, MalformedInputIsReportedNeverFatal) {
    Uci uci;
    uci.send({"position", "position sideways", "position fen garbage",
              "position fen 8/8/8/8/8/8/8/8 w - - 0 1",  // no kings
              "position startpos moves e2e5 e7e5",       // illegal move
              "position startpos moves e2", "setoption", "setoption name Hash value many",
              "setoption name Colour value blue", "frobnicate", "\x01\x02\xff",
              "go wtime -5 btime x",  // an empty clock: a move at once
              // A "go" whose limits are unreadable searches until "stop", as a bare "go".
              "go depth", "go sideways 3", "isready"});
    Lines said = linesUpTo(uci.engine, "readyok");
    EXPECT_EQ(said.back(), "readyok");
    said.pop_back();
    uci.send({"stop"});
    for (const std::string& line : uci.engine.drain(1000)) said.push_back(line);
    for (const std::string& line : said)
        EXPECT_TRUE(startsWith(line, "info") || startsWith(line, "bestmove")) << line;
    EXPECT_TRUE(anyLineHas(said, "info string"));
    // The engine still plays from a sound position.
    uci.send({"position startpos", "go depth 2"});
    EXPECT_TRUE(Referee().play(bestMove(uci.engine)));
    // End of input ends the engine as "quit" does.
    uci.engine.closeInput();
    EXPECT_EQ(uci.engine.waitExit(), 0);
}

TEST(Uci, XboardStaysTheDefault) {
    TempDir dir;
    EngineProcess engine(dir.path());
    engine.send("xboard");
    engine.send("uci");  // not the first command: an unknown xboard command
    EXPECT_EQ(repliesUpTo(engine, 1), (Lines{"Talvo 5.30", "Error (Unknown command) uci"}));
}
