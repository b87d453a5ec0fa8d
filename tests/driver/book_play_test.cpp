// The engine with a book and a learning file in its folder: when the book is
// asked, and what a learned score does to the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>

#include "board/position_record.h"
#include "book/opening_book.h"
#include "driver/engine_play_support.h"
#include "driver/game_record.h"
#include "support/temp_dir.h"

using namespace play_support;
using testing_support::TempDir;

namespace {

// A game of 52 plies, always the same, and the keys of its positions as the
// engine's game record computes them.
struct ScriptedGame {
    Lines moves;
    std::vector<board::HashKey> keys;
};

ScriptedGame scriptedGame() {
    ScriptedGame game;
    Referee referee;
    std::mt19937 random(52);
    for (int ply = 0; ply < 52; ++ply) {
        const Lines legal = referee.legalMoves();
        game.moves.push_back(legal.at(random() % legal.size()));
        referee.play(game.moves.back());
    }
    referee.legalMoves();  // the whole game on the record
    game.keys.assign(driver::GameRecord.keys, driver::GameRecord.keys + 53);
    return game;
}

std::string bookOf(const std::vector<board::HashKey>& keys) {
    std::vector<book::BookRecord> records;
    for (board::HashKey key : keys) {
        book::BookRecord r = book::recordForKey(key);
        book::setRecordWeight(r, 1);
        records.push_back(r);
    }
    std::sort(records.begin(), records.end(), [](const book::BookRecord& a, const book::BookRecord& b) {
        return std::memcmp(a.bytes, b.bytes, 8) < 0;
    });
    std::string bytes;
    for (const book::BookRecord& r : records) bytes.append(reinterpret_cast<const char*>(r.bytes), 16);
    return bytes;
}

// Plays the first plies of the game in force mode, then lets the engine move.
void reachPly(EngineProcess& engine, const ScriptedGame& game, int ply) {
    for (const char* line : {"new", "force", "sd 2", "post"}) engine.send(line);
    for (int i = 0; i < ply; ++i) engine.send(game.moves[i]);
}

// The words of the last thinking line among lines.
Lines lastThinkingLine(const Lines& lines) {
    Lines last;
    for (const std::string& line : lines)
        if (isThinkingLine(line)) last = words(line);
    return last;
}

bool hasBookLine(const Lines& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return startsWith(l, "0 0 0 0 ("); });
}

}  // namespace

TEST(EngineBook, AskedUpToPlyFiftyOnlyWhenEnabledAndOnlyForABookPosition) {
    const ScriptedGame game = scriptedGame();
    TempDir dir;
    dir.write("Talvo.book", bookOf({game.keys[50], game.keys[51], game.keys[52]}));
    {
        EngineProcess engine(dir.path());
        reachPly(engine, game, 50);
        engine.send("go");
        Lines seen;
        EXPECT_EQ(lowerCase(nextMove(engine, &seen)), game.moves[50]);
        EXPECT_EQ(seen, Lines{"0 0 0 0 (" + game.moves[50] + " 100%)"});

        // Ply 51 is in the book too, but past the opening.
        engine.send("force");
        engine.send("go");
        seen.clear();
        EXPECT_FALSE(nextMove(engine, &seen).empty());
        EXPECT_FALSE(hasBookLine(seen));
    }
    {
        // Analysis never asks the book.
        EngineProcess engine(dir.path());
        reachPly(engine, game, 50);
        engine.send("analyze");
        std::string line;
        Lines seen;
        while (engine.readLine(line, 20000) && !(isThinkingLine(line) && std::stoi(line) >= 3)) seen.push_back(line);
        EXPECT_FALSE(hasBookLine(seen));
        engine.send("exit");
    }

    // A book without the current position, and a book switched off.
    TempDir noRoot, disabled;
    noRoot.write("Talvo.book", bookOf({game.keys[51], game.keys[52]}));
    disabled.write("Talvo.book", dir.read("Talvo.book"));
    disabled.write("Talvo.ini", "ENABLE_BOOK FALSE\n");
    for (const TempDir* d : {&noRoot, &disabled}) {
        EngineProcess engine(d->path());
        reachPly(engine, game, 50);
        engine.send("go");
        Lines seen;
        EXPECT_FALSE(nextMove(engine, &seen).empty());
        EXPECT_FALSE(hasBookLine(seen));
    }
}

TEST(EngineLearning, ALearnedScoreIsWhatTheSearchReportsInEveryGame) {
    // After e2e3 the position is learned as lost by 5000 for Black, to move.
    const char* root = "setboard 4k3/8/8/8/8/8/4P3/4K3 w - -";
    TempDir dir;
    dir.write("Talvo.lrn", "4k3/8/8/8/8/4P3/8/4K3 b - - 0 1 ;eva=-5000;prf=20;Talvo 5.30;\n");
    dir.write("Talvo.ini", "LOG TRUE\n");
    EngineProcess engine(dir.path());
    // Each "new" empties the table; the learned position must be back every time.
    for (int game = 0; game < 2; ++game) {
        for (const char* line : {"new", "force", root, "sd 4", "post", "fritz", "go"}) engine.send(line);
        Lines seen;
        EXPECT_EQ(nextMove(engine, &seen), "e2e3");
        const Lines last = lastThinkingLine(seen);
        ASSERT_GE(last.size(), 5u);
        EXPECT_EQ(last[1], "5000");
        EXPECT_EQ(last[4], "e2e3");
    }
    repliesUpTo(engine, 1);
    std::istringstream log(dir.read("Talvo.log"));
    int loads = 0;
    for (std::string line; std::getline(log, line);) loads += line == "Add 1 learn";
    EXPECT_EQ(loads, 2);

}

TEST(EngineLearning, ANewGameFromTheSameStartHasItsLearnedPositionsBack) {
    // 1. a3 is learned as winning for White. A small table and a deep first game
    // push the entry out; the second game starts from the same position, so the
    // table is not cleared, and the entry must be offered again.
    TempDir dir;
    dir.write("Talvo.lrn", "rnbqkbnr/pppppppp/8/8/8/P7/1PPPPPPP/RNBQKBNR b KQkq - 0 1 ;eva=-5000;prf=20;\n");
    dir.write("Talvo.ini", "SIZE_HT 1\n");
    EngineProcess engine(dir.path());
    for (const char* line : {"new", "force", "e2e4", "sd 6", "go"}) engine.send(line);
    EXPECT_FALSE(nextMove(engine).empty());
    for (const char* line : {"new", "force", "sd 3", "post", "fritz", "go"}) engine.send(line);
    Lines seen;
    EXPECT_EQ(nextMove(engine, &seen), "a2a3");
    EXPECT_EQ(lastThinkingLine(seen).at(1), "5000");
}
