// Helpers for the tests in which the real engine plays: a referee that knows the
// legal moves (the naive reference generator, nothing of the engine's own), and
// readers for the engine's replies.
#pragma once
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "support/reference_chess.h"

namespace play_support {

using Lines = std::vector<std::string>;
using testing_support::EngineProcess;
using testing_support::ReferencePosition;

inline const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

inline std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The game as a referee sees it, with every position kept for take-backs.
class Referee {
public:
    explicit Referee(const std::string& fen = StartFen) { history_.push_back(testing_support::referenceFromFen(fen)); }

    Lines legalMoves() const {
        Lines moves;
        for (const auto& child : testing_support::referenceChildren(history_.back())) moves.push_back(child.first);
        return moves;
    }
    // Plays a move given in coordinates (any letter case); false when it is illegal.
    bool play(const std::string& move) {
        for (const auto& child : testing_support::referenceChildren(history_.back()))
            if (child.first == lowerCase(move)) {
                history_.push_back(child.second);
                return true;
            }
        return false;
    }
    void takeBack(int plies) { history_.resize(std::max<size_t>(1, history_.size() - size_t(plies))); }
    int sideToMove() const { return history_.back().side; }
    int plies() const { return int(history_.size()) - 1; }

private:
    std::vector<ReferencePosition> history_;
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
