// Helpers for the tests in which the real engine plays: a referee that knows the
// legal moves, and readers for the engine's replies.
#pragma once
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "driver/game_record.h"
#include "driver/main_loop.h"
#include "support/engine_process.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

namespace play_support {

using Lines = std::vector<std::string>;
using testing_support::EngineProcess;

inline const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

inline std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The game as a referee sees it: the start and the moves, replayed on this test
// process's own game record for every question. The engine under test is another
// process; the legal moves come from the generator that perft checks.
class Referee {
public:
    explicit Referee(const std::string& fen = StartFen) : fen_(fen) {}

    Lines legalMoves() const {
        replay();
        board::Board.loadRecord(driver::GameRecord.current());
        board::Move moves[driver::MaxLegalMoves];
        bool inCheck = false;
        Lines texts;
        for (int i = 0, n = driver::listLegalMoves(moves, &inCheck); i < n; ++i)
            texts.push_back(lowerCase(board::moveToText(moves[i])));
        return texts;
    }
    // Plays a move given in coordinates (any letter case); false when it is illegal.
    bool play(const std::string& move) {
        const Lines legal = legalMoves();
        if (std::find(legal.begin(), legal.end(), lowerCase(move)) == legal.end()) return false;
        moves_.push_back(move);
        return true;
    }
    void takeBack(int plies) {
        moves_.resize(moves_.size() > size_t(plies) ? moves_.size() - size_t(plies) : 0);
    }
    int sideToMove() const { return replay().sideToMove; }
    int plies() const { return int(moves_.size()); }

private:
    const board::PositionRecord& replay() const {
        driver::GameRecord.setPositionFromFen(fen_.c_str());
        for (const std::string& move : moves_)
            driver::GameRecord.playMove(board::parseMoveText(move.c_str()));
        return driver::GameRecord.current();
    }
    std::string fen_;
    Lines moves_;
};

// Everything the engine sends before "pong n".
inline Lines repliesUpTo(EngineProcess& engine, int n, int timeoutMs = 30000) {
    engine.send("ping " + std::to_string(n));
    Lines lines;
    std::string line;
    const std::string pong = "pong " + std::to_string(n);
    while (engine.readLine(line, timeoutMs)) {
        if (line == pong) return lines;
        lines.push_back(line);
    }
    lines.push_back("(no " + pong + ")");
    return lines;
}

// The engine's next move ("" when none comes in time); the lines before it go to
// seen when given.
inline std::string nextMove(EngineProcess& engine, Lines* seen = nullptr, int timeoutMs = 30000) {
    std::string line;
    while (engine.readLine(line, timeoutMs)) {
        if (line.rfind("move ", 0) == 0) return line.substr(5);
        if (seen) seen->push_back(line);
    }
    return "";
}

inline bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// Writes the queen-against-king tablebase into dir (the tools generate it); false
// with the tools' report in report when they fail.
inline bool writeQueenTables(const testing_support::TempDir& dir, std::string* report) {
    return testing_support::runTools("egtb generate kqk -d " + dir.path(), report) == 0;
}

// The lines of the engine's log in dir that start with one of the prefixes.
inline Lines loggedLines(const testing_support::TempDir& dir, const Lines& prefixes) {
    std::istringstream log(dir.read("Talvo.log"));
    Lines found;
    for (std::string line; std::getline(log, line);)
        for (const std::string& prefix : prefixes)
            if (startsWith(line, prefix)) found.push_back(line);
    return found;
}

inline bool isResult(const std::string& line) {
    return startsWith(line, "1-0 ") || startsWith(line, "0-1 ") || startsWith(line, "1/2-1/2 ");
}

inline Lines words(const std::string& line) {
    std::istringstream in(line);
    Lines out;
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// A thinking line: depth, score, time, nodes, then the line's moves.
inline bool isThinkingLine(const std::string& line) {
    Lines w = words(line);
    return w.size() >= 5 && std::isdigit(static_cast<unsigned char>(w[0][0])) && !isResult(line);
}

}  // namespace play_support
