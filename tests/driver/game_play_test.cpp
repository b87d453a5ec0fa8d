// The engine playing whole games over pipes against a scripted opponent, with a
// referee that checks every move it makes.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "driver/engine_play_support.h"
#include "support/temp_dir.h"

using namespace play_support;
using testing_support::TempDir;

namespace {

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct GameOutcome {
    int engineMoves = 0;
    std::string result;  // the result line the engine sent, if any
};

// Plays until the game ends or maxPlies: a seeded random opponent against the
// engine, whose every move must be legal. On a clock (clockMs > 0) the engine's
// thinking time is taken off it, and it must not run out.
GameOutcome playGame(EngineProcess& engine, Referee& referee, int engineSide, unsigned seed, int maxPlies,
                     long long clockMs = 0) {
    std::mt19937 random(seed);
    GameOutcome outcome;
    auto noteResults = [&](const Lines& lines) {
        for (const std::string& line : lines)
            if (isResult(line)) outcome.result = line;
    };
    for (int ping = 100; outcome.result.empty(); ++ping) {
        const Lines legal = referee.legalMoves();
        if (legal.empty()) {  // mate or stalemate: the engine says so
            for (std::string line; outcome.result.empty() && engine.readLine(line, 20000);)
                noteResults({line});
            break;
        }
        if (referee.sideToMove() != engineSide) {
            // The game stops only where the engine has just moved, never mid-search.
            if (referee.plies() >= maxPlies) break;
            const std::string reply = legal[random() % legal.size()];
            referee.play(reply);
            if (clockMs) engine.send("time " + std::to_string(clockMs / 10) + "\notim 100000");
            engine.send(reply);
            continue;
        }
        Lines seen;
        const long long started = nowMs();
        const std::string move = nextMove(engine, &seen);
        noteResults(seen);
        if (!outcome.result.empty()) break;  // a draw by the opponent's move
        if (!referee.play(move)) {
            ADD_FAILURE() << "illegal engine move '" << move << "' at ply " << referee.plies();
            break;
        }
        ++outcome.engineMoves;
        if (clockMs) {
            clockMs -= nowMs() - started;
            EXPECT_GT(clockMs, 0) << "out of time at ply " << referee.plies();
        }
        noteResults(repliesUpTo(engine, ping));
    }
    return outcome;
}

}  // namespace

TEST(EngineGames, LegalMovesToTheEndAtFixedDepthAndOnTheClock) {
    TempDir dir;
    for (unsigned seed : {1u, 2u, 3u}) {
        EngineProcess engine(dir.path());
        Referee referee;
        engine.send("new");
        engine.send("sd 3");
        GameOutcome game = playGame(engine, referee, 1, seed, 300);
        EXPECT_GT(game.engineMoves, 0);
        // The random opponent loses: mated, or the game ends by a draw rule.
        if (referee.legalMoves().empty()) EXPECT_EQ(game.result, "0-1 {Black mates}") << seed;
        else EXPECT_TRUE(isResult(game.result) || referee.plies() >= 300) << game.result;
    }

    // White on a clock of 4 s (2 s of it kept in reserve): every move in time.
    EngineProcess engine(dir.path());
    Referee referee;
    for (const char* line : {"new", "level 40 1 0", "time 400", "otim 400", "go"}) engine.send(line);
    GameOutcome game = playGame(engine, referee, 0, 9, 60, 4000);
    EXPECT_GT(game.engineMoves, 3);
}

TEST(EngineGames, NewForceUndoRemoveSetboardAndMoveNow) {
    TempDir dir;
    EngineProcess engine(dir.path());
    // Sends the lines; the engine's answer must be legal in the referee's game.
    auto answers = [&](const Lines& lines, Referee& game) {
        for (const std::string& line : lines) engine.send(line);
        return game.play(nextMove(engine, nullptr, 20000));
    };
    Referee referee;
    referee.play("e2e4");
    ASSERT_TRUE(answers({"new", "sd 2", "e2e4"}, referee));
    referee.play("d2d4");
    ASSERT_TRUE(answers({"d2d4"}, referee));
    // "remove" takes back the engine's move and ours; another move is answered.
    referee.takeBack(2);
    referee.play("g1f3");
    ASSERT_TRUE(answers({"remove", "g1f3"}, referee));
    // "force", "undo", then "go": the engine plays the side to move, now White.
    referee.takeBack(1);
    ASSERT_TRUE(answers({"force", "undo", "go"}, referee));

    // A new position mid-game, then a new game.
    const std::string fen = "r3k2r/pppq1ppp/2np1n2/2b1p1B1/2B1P1b1/2NP1N2/PPPQ1PPP/R3K2R b KQkq -";
    Referee fromFen(fen), fresh;
    EXPECT_TRUE(answers({"force", "setboard " + fen, "go"}, fromFen));
    EXPECT_TRUE(answers({"new", "go"}, fresh));

    // "?" plays the best move so far at once, long before "st 100" would.
    const std::string middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R1BQ1RK1 w - -";
    for (const std::string& line : Lines{"force", "setboard " + middlegame, "st 100", "post", "fritz", "go"})
        engine.send(line);
    ASSERT_TRUE(isThinkingLine(engine.waitFor("1 ", 20000)));
    Referee atMiddlegame(middlegame);
    EXPECT_TRUE(answers({"?"}, atMiddlegame));
}

TEST(EngineAnalysis, ThinksOnEveryPositionAndPlaysNothingUntilExit) {
    TempDir dir;
    EngineProcess engine(dir.path());
    for (const char* line : {"new", "force", "post", "analyze"}) engine.send(line);
    std::string first = engine.waitFor("1 ", 20000);
    ASSERT_TRUE(isThinkingLine(first)) << first;
    EXPECT_TRUE(Referee().play(words(first)[4]));

    // A move during analysis: the analysis goes on at once in the new position.
    engine.send("e2e4");
    Referee afterE4;
    afterE4.play("e2e4");
    std::string line;
    bool blackLine = false;
    for (long long end = nowMs() + 20000; !blackLine && nowMs() < end && engine.readLine(line, 20000);) {
        ASSERT_FALSE(startsWith(line, "move ")) << line;
        if (isThinkingLine(line) && Referee(afterE4).play(words(line)[4])) blackLine = true;
    }
    EXPECT_TRUE(blackLine);

    engine.send("exit");
    for (const std::string& reply : repliesUpTo(engine, 1)) EXPECT_FALSE(startsWith(reply, "move ")) << reply;
    // Out of analysis, the engine plays on its clock again.
    for (const char* l : {"sd 3", "go"}) engine.send(l);
    EXPECT_TRUE(afterE4.play(nextMove(engine, nullptr, 20000)));
}

TEST(EnginePondering, HitAndMissLogAndPlayTheRightMove) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    Referee referee;
    for (const char* line : {"new", "hard", "sd 4", "e2e4"}) engine.send(line);
    referee.play("e2e4");
    ASSERT_TRUE(referee.play(nextMove(engine)));

    // The hint is the reply the engine ponders on; playing it is a hit.
    std::string hint = engine.waitFor("Hint: ");
    ASSERT_GT(hint.size(), 6u);
    const std::string predicted = hint.substr(6);
    engine.send(predicted);
    ASSERT_TRUE(referee.play(predicted));
    ASSERT_TRUE(referee.play(nextMove(engine)));

    // Any other reply is a miss: the guess is taken back and the real move answered.
    hint = engine.waitFor("Hint: ");
    ASSERT_FALSE(hint.empty());
    std::string other;
    for (const std::string& move : referee.legalMoves())
        if (move != lowerCase(hint.substr(6))) other = move;
    engine.send(other);
    referee.play(other);
    EXPECT_TRUE(referee.play(nextMove(engine)));
    repliesUpTo(engine, 1);
    Lines events = loggedLines(dir, {"Hint: ", "Good Ponder", "Bad Ponder"});
    events.resize(4);  // the engine ponders on after its last move
    EXPECT_EQ(events, (Lines{"Hint: " + predicted, "Good Ponder", hint, "Bad Ponder"}));
}

TEST(EngineResults, MateAndStalemateAreAnnouncedUntilTheGameChanges) {
    TempDir dir;
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    const char* backRank = "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - -";
    for (const char* line : {"new", "force", backRank, "sd 3", "go"}) engine.send(line);
    EXPECT_EQ(nextMove(engine), "a1a8");
    EXPECT_EQ(engine.waitFor("1-0 "), "1-0 {White mates}");
    EXPECT_EQ(repliesUpTo(engine, 1), Lines{});
    EXPECT_EQ(repliesUpTo(engine, 2), Lines{"1-0 {White mates}"});
    engine.send("force");
    EXPECT_EQ(repliesUpTo(engine, 3), Lines{"1-0 {White mates}"});
    EXPECT_EQ(repliesUpTo(engine, 4), Lines{});

    // Mated by the opponent's move, and stalemated with the engine to move.
    for (const char* line : {"new", backRank, "a1a8"}) engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 5), Lines{"1-0 {White mates}"});
    for (const char* line : {"force", "setboard k7/8/1Q6/8/8/8/8/7K b - -", "go"}) engine.send(line);
    EXPECT_EQ(repliesUpTo(engine, 6), (Lines{"1-0 {White mates}", "1/2-1/2 {Stalemate}"}));
    engine.send("force");
    EXPECT_EQ(repliesUpTo(engine, 7), Lines{"1/2-1/2 {Stalemate}"});
    EXPECT_EQ(loggedLines(dir, {"1-0 {White mates}"}).size(), 5u);
    EXPECT_EQ(loggedLines(dir, {"1/2-1/2 {Stalemate}"}).size(), 2u);
}

TEST(EngineResign, ResignsByRuleButNeverInFritzMode) {
    TempDir dir;
    // White mates with the queen; the engine defends with the bare king.
    const std::string fen = "8/8/8/3k4/8/8/8/Q3K3 w - -";
    for (bool fritz : {false, true}) {
        EngineProcess white(dir.path()), black(dir.path());
        for (EngineProcess* e : {&white, &black})
            for (const std::string& line : Lines{"new", "setboard " + fen, "sd 6"}) e->send(line);
        black.send("otim 10000");
        if (fritz) black.send("fritz");
        white.send("go");
        Referee referee(fen);
        bool resigned = false, mated = false;
        for (int move = 0; move < 40 && !resigned && !mated; ++move) {
            std::string w = nextMove(white);
            ASSERT_TRUE(referee.play(w)) << w;
            black.send(w);
            if (referee.legalMoves().empty()) {
                mated = black.waitFor("1-0 ") == "1-0 {White mates}";
                break;
            }
            std::string b = nextMove(black);
            ASSERT_TRUE(referee.play(b)) << b;
            for (const std::string& line : repliesUpTo(black, move)) resigned |= line == "resign";
            white.send(b);
        }
        EXPECT_EQ(resigned, !fritz);
        EXPECT_EQ(mated, fritz);
    }
}

TEST(EngineDeterminism, TwoIdenticalRunsSearchTheSameNodesAndMoves) {
    auto run = [] {
        TempDir dir;
        EngineProcess engine(dir.path());
        Referee referee;
        for (const char* line : {"new", "sd 6", "go"}) engine.send(line);
        Lines record;
        for (int move = 0; move < 4; ++move) {
            std::string played = nextMove(engine);
            // The node count of the search just finished, and its depth.
            engine.send(".");
            Lines stat = words(engine.waitFor("stat01: "));
            record.push_back(played + " " + (stat.size() > 3 ? stat[2] + " " + stat[3] : "?"));
            if (!referee.play(played)) break;
            std::string reply = referee.legalMoves().front();
            referee.play(reply);
            engine.send(reply);
        }
        return record;
    };
    Lines first = run();
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(run(), first);
}
