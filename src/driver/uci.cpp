#include "driver/uci.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "base/platform.h"
#include "board/board.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "book/opening_book.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/interface_state.h"
#include "driver/main_loop.h"
#include "driver/protocol.h"
#include "driver/resources.h"
#include "driver/time_budget.h"
#include "search/limits.h"
#include "search/threads.h"
#include "search/transposition.h"

namespace driver {

using board::Board;
using board::isPlayablePosition;
using board::Move;
using search::analyzeMode;
using search::bestMove;
using search::fixedDepth;
using search::iterationDepth;
using search::pondering;
using search::ponderMove;
using search::recordedNodes;
using search::searchStartTick;
using search::TransTable;

namespace {

constexpr int MaxHashMegabytes = 4095;  // the table's own cap lies just below 4 GB
constexpr int MaxCacheMegabytes = 2047;  // what the tablebase cache can count
constexpr long long MaxMoveOverheadMs = 5000;

// What a "go" asked for beyond the clock: no answer before "stop" (infinite), or
// before "stop"/"ponderhit" (ponder).
struct GoRequest {
    bool infinite = false;
    bool ponder = false;
};

// Flags the poll raises while a search runs.
struct UciSearchState {
    bool stopRequested = false;
    bool ponderHit = false;
};
constinit UciSearchState UciSearch{};

void infoString(const char* what, const char* detail) {
    char text[LineSize + 64];
    std::snprintf(text, sizeof text, "info string %s%s%.200s", what, detail && *detail ? ": " : "", detail ? detail : "");
    sendLine(text);
}

// A resize the engine could not take, or took within bounds, is told as a string.
void tellResourceReply(const ResourceReply& reply, const char* value) {
    if (reply.outcome != ResourceReply::Taken) infoString(reply.text, value);
}

constinit char UciMoveText[8]{};
constinit char UciScoreText[24]{};

// UCI writes promotions in lower case.
const char* uciMoveText(Move move) {
    const char* text = board::moveToText(move);
    char* lower = UciMoveText;
    size_t i = 0;
    for (; text[i] && i < sizeof UciMoveText - 1; ++i) lower[i] = char(std::tolower(static_cast<unsigned char>(text[i])));
    lower[i] = 0;
    return lower;
}

// The next blank-separated word of *cursor, or null at the end.
const char* nextWord(const char** cursor, char* word, size_t size) {
    const char* p = *cursor;
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return nullptr;
    size_t n = 0;
    while (*p && *p != ' ' && *p != '\t') {
        if (n + 1 < size) word[n++] = *p;
        ++p;
    }
    word[n] = 0;
    *cursor = p;
    return word;
}

// A number word: false when it is not one (the caller reports it). Values are
// kept within what the clock arithmetic can hold.
bool readNumber(const char* word, long long* value) {
    if (!word) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word, &end, 10);
    if (end == word || *end) return false;
    *value = errno == ERANGE ? (v < 0 ? -(1LL << 40) : (1LL << 40)) : v;
    return true;
}

uint32_t clampMs(long long v) { return v < 0 ? 0 : v > 0xFFFFFFFFLL ? 0xFFFFFFFFu : uint32_t(v); }

// Is move legal in the game's current position?
bool isLegalHere(Move move) {
    Board.loadRecord(GameRecord.current());
    Move moves[MaxLegalMoves];
    bool inCheck = false;
    const int n = listLegalMoves(moves, &inCheck);
    for (int i = 0; i < n; ++i)
        if (moves[i] == (move & board::MoveIdentity)) return true;
    return false;
}

// Interfaces send the whole game before every move. A position that does not go on
// from the last one is a new game, even without "ucinewgame".
struct GameSeen {
    board::HashKey first{}, last{};
    int plies = -1;
};

bool continuesGame(const GameSeen& seen) {
    const int plies = GameRecord.plyCount;
    return seen.plies >= 0 && plies >= seen.plies && GameRecord.keys[0] == seen.first &&
           GameRecord.keys[seen.plies] == seen.last;
}

void setPositionFrom(const char* args);

// "position startpos|fen <FEN> [moves m1 m2 ...]"
void setPosition(const char* args) {
    GameSeen seen;
    seen.plies = GameRecord.plyCount;
    seen.first = GameRecord.keys[0];
    seen.last = GameRecord.keys[seen.plies];
    setPositionFrom(args);
    if (!continuesGame(seen)) newGameStarted = 1;
}

void setPositionFrom(const char* args) {
    char fen[LineSize];
    const char* movesText = std::strstr(args, " moves");
    const char* end = movesText ? movesText : args + std::strlen(args);
    while (*args == ' ') ++args;
    if (std::strncmp(args, "startpos", 8) == 0) {
        std::strcpy(fen, board::StartFen);
    } else if (std::strncmp(args, "fen ", 4) == 0) {
        const size_t n = size_t(end - (args + 4));
        std::memcpy(fen, args + 4, n < sizeof fen ? n : sizeof fen - 1);
        fen[n < sizeof fen ? n : sizeof fen - 1] = 0;
    } else {
        infoString("position needs startpos or fen", args);
        return;
    }
    board::PositionRecord* record = board::parseFen(fen);
    if (!record || !isPlayablePosition(*record)) {
        infoString("illegal position", fen);
        return;
    }
    GameRecord.setPositionFromRecord(record);
    if (!movesText) return;

    const char* cursor = movesText + 6;
    char word[32];
    while (nextWord(&cursor, word, sizeof word)) {
        const Move move = board::parseMoveText(word);
        if (!move || !isLegalHere(move)) {
            infoString("illegal move, the moves from here on are ignored", word);
            return;
        }
        if (!GameRecord.playMove(move)) {
            infoString("the game is too long to follow", word);
            return;
        }
    }
}

void sendBestMove(Move best, Move ponder) {
    char text[48];
    if (!best) {
        sendLine("bestmove 0000");
        return;
    }
    std::snprintf(text, sizeof text, "bestmove %s", uciMoveText(best));
    if (ponder) {
        std::strcat(text, " ponder ");
        std::strcat(text, uciMoveText(ponder));
    }
    sendLine(text);
}

// A ponder or infinite search that ended before the interface said so waits for
// "stop" (or "ponderhit") before it answers.
void awaitPermissionToAnswer(const GoRequest& go) {
    while (!UciSearch.stopRequested && (go.infinite || (go.ponder && !UciSearch.ponderHit))) {
        const char* line = InputReader.readLine(true);
        if (!line || std::strcmp(line, "quit") == 0) platform::exitProcess(0);
        if (std::strcmp(line, "stop") == 0) UciSearch.stopRequested = true;
        else if (std::strcmp(line, "ponderhit") == 0) UciSearch.ponderHit = true;
        else if (std::strcmp(line, "isready") == 0) sendLine("readyok");
        else infoString("busy until stop", line);
    }
}

uint64_t gameKeyAt(int plies) {
    if (plies < 0 || plies > GameRecord.plyCount) return 0;
    const board::HashKey key = GameRecord.keys[plies];
    return uint64_t(key.high) << 32 | key.low;
}

void go(const char* args) {
    // The interface's clock runs from about here: the lag watch compares it with
    // the clock the next "go" brings.
    const uint32_t goTick = platform::tickMs();
    GoRequest request;
    const int side = GameRecord.current().sideToMove;
    long long times[2] = {-1, -1}, increments[2] = {0, 0}, movesToGoValue = 0, moveTime = 0, depth = 0;
    bool timeGiven[2] = {false, false};
    const char* cursor = args;
    char word[64], value[64];
    while (nextWord(&cursor, word, sizeof word)) {
        long long* target = nullptr;
        if (!std::strcmp(word, "infinite")) request.infinite = true;
        else if (!std::strcmp(word, "ponder")) request.ponder = true;
        else if (!std::strcmp(word, "wtime")) target = &times[0], timeGiven[0] = true;
        else if (!std::strcmp(word, "btime")) target = &times[1], timeGiven[1] = true;
        else if (!std::strcmp(word, "winc")) target = &increments[0];
        else if (!std::strcmp(word, "binc")) target = &increments[1];
        else if (!std::strcmp(word, "movestogo")) target = &movesToGoValue;
        else if (!std::strcmp(word, "movetime")) target = &moveTime;
        else if (!std::strcmp(word, "depth")) target = &depth;
        else infoString("unknown go parameter", word);
        if (target && !readNumber(nextWord(&cursor, value, sizeof value), target))
            infoString("go parameter without a number", word);
    }

    Board.loadRecord(GameRecord.current());
    Move moves[MaxLegalMoves];
    bool inCheck = false;
    if (!isPlayablePosition(GameRecord.current()) || listLegalMoves(moves, &inCheck) == 0) {
        // Mate, stalemate or nothing to play: the answer UCI has for it.
        UciSearch = {};
        awaitPermissionToAnswer(request);
        sendBestMove(0, 0);
        return;
    }

    // The clock in the terms of the xboard time budget: milliseconds left, the
    // increment, the moves to the next control; or a fixed time or depth.
    // A clock already below zero is treated as empty: the engine moves at once.
    engineClock = clampMs(times[side]);
    clockKnown = timeGiven[side] ? 1 : 0;
    opponentClock = clampMs(times[1 - side]);
    incrementMs = clampMs(increments[side]);
    movesToGo = movesToGoValue > 0 ? int(movesToGoValue > 100000 ? 100000 : movesToGoValue) : 0;
    movesPerSession = movesToGo;
    fixedMoveTime = clampMs(moveTime);
    fixedDepth = depth > 0 ? int(depth > 64 ? 64 : depth) : 0;
    const bool timed = timeGiven[side] || moveTime > 0 || fixedDepth > 0;
    // Without any limit the search runs until "stop", as for "go infinite".
    if (!timed && !request.ponder) request.infinite = true;
    // Only a clock that ran for this search alone tells what the interface costs:
    // while pondering it starts at "ponderhit", not here.
    const int plies = GameRecord.plyCount;
    const bool clockWatched = clockKnown && !request.ponder && !request.infinite && !moveTime;
    if (clockWatched) UciMoveLag.clockSeen(engineClock, gameKeyAt(plies - 2), plies);
    else UciMoveLag.forgetAnswer();

    UciSearch = {};
    analyzeMode = request.infinite ? 1 : 0;
    searchForMove(moves, request.ponder || request.infinite ? 1 : 0);
    analyzeMode = 0;
    awaitPermissionToAnswer(request);
    pondering = 0;
    sendBestMove(bestMove, ponderMove);
    if (clockWatched)
        UciMoveLag.answered(engineClock, incrementMs, platform::tickMs() - goTick, gameKeyAt(plies), plies);
}

void setOption(const char* args) {
    // "name <id> [value <x>]": names may hold blanks.
    const char* name = std::strstr(args, "name ");
    if (!name) {
        infoString("setoption needs a name", args);
        return;
    }
    name += 5;
    const char* valueAt = std::strstr(name, " value ");
    char id[64];
    size_t n = size_t((valueAt ? valueAt : name + std::strlen(name)) - name);
    if (n >= sizeof id) n = sizeof id - 1;
    std::memcpy(id, name, n);
    id[n] = 0;
    const char* value = valueAt ? valueAt + 7 : "";
    long long number = 0;
    if (!strcasecmp(id, "Hash")) {
        if (!readNumber(value, &number) || number < 1) {
            infoString("Hash needs a number of megabytes", value);
            return;
        }
        tellResourceReply(setTableMegabytes(number > MaxHashMegabytes ? MaxHashMegabytes : number), value);
        newGameStarted = 1;  // the learned positions went with the old table
    } else if (!strcasecmp(id, "Threads")) {
        if (!readNumber(value, &number) || number < 1) {
            infoString("Threads needs a number of at least 1", value);
            return;
        }
        tellResourceReply(setThreads(number), value);
    } else if (!strcasecmp(id, "NalimovPath")) {
        tellResourceReply(setTablebasePaths(!strcasecmp(value, "<empty>") ? "" : value), value);
    } else if (!strcasecmp(id, "NalimovCache")) {
        if (!readNumber(value, &number) || number < 0) {
            infoString("NalimovCache needs a number of megabytes", value);
            return;
        }
        tellResourceReply(setTablebaseCacheMegabytes(number), value);
    } else if (!strcasecmp(id, "Clear Hash")) {
        TransTable.clear();
        newGameStarted = 1;  // the learned positions go back in
    } else if (!strcasecmp(id, "Move Overhead")) {
        if (!readNumber(value, &number) || number < 0) {
            infoString("Move Overhead needs a number of milliseconds", value);
            return;
        }
        uciMoveOverhead = uint32_t(number > MaxMoveOverheadMs ? MaxMoveOverheadMs : number);
    } else if (!strcasecmp(id, "OwnBook")) {
        EngineConfig.enableBook = std::strcmp(value, "false") != 0;
    } else if (!strcasecmp(id, "Ponder")) {
        // The interface decides when to ponder ("go ponder"); nothing to set.
    } else {
        infoString("unknown option", id);
    }
}

}  // namespace

const char* uciScoreText(int score) {
    char* text = UciScoreText;
    if (score > board::MateBound) {
        std::snprintf(text, sizeof UciScoreText, "mate %d", (board::MateScore - score + 1) / 2);
    } else if (score < -board::MateBound) {
        std::snprintf(text, sizeof UciScoreText, "mate -%d", (board::MateScore + score) / 2);
    } else {
        std::snprintf(text, sizeof UciScoreText, "cp %d", score);
    }
    return text;
}

void sendUciInfo(int score, int kind, const Move* line) {
    const uint32_t elapsed = platform::tickMs() - searchStartTick;
    char text[512];
    int length = std::snprintf(text, sizeof text, "info depth %d score %s%s time %u nodes %" PRIu64 " nps %" PRIu64 " pv",
                               iterationDepth, uciScoreText(score),
                               kind == 1   ? " lowerbound"
                               : kind == 2 ? " upperbound"
                                           : "",
                               elapsed, recordedNodes, elapsed ? recordedNodes * 1000 / elapsed : 0);
    for (int i = 0; line[i] && length < int(sizeof text) - 8; ++i)
        length += std::snprintf(text + length, sizeof text - size_t(length), " %s", uciMoveText(line[i]));
    sendLine(text);
}

int uciPollCommands() {
    while (const char* line = InputReader.readLine(false)) {
        if (std::strcmp(line, "isready") == 0) {
            sendLine("readyok");
        } else if (std::strcmp(line, "stop") == 0) {
            UciSearch.stopRequested = true;
            return 1;
        } else if (std::strcmp(line, "ponderhit") == 0) {
            // The predicted move was played: the same search goes on with the clock.
            UciSearch.ponderHit = true;
            pondering = 0;
            computeTimeBudget();
        } else if (std::strcmp(line, "quit") == 0) {
            platform::exitProcess(0);
        } else if (*line) {
            infoString("ignored during a search", line);
        }
    }
    if (InputReader.endOfInput) platform::exitProcess(0);
    return 0;
}

void handleUciLine(const char* line) {
    while (*line == ' ') ++line;
    if (!std::strcmp(line, "uci")) {
        char text[384];
        sendLine("id name Talvo 5.30");
        sendLine("id author the Talvo developers");
        std::snprintf(text, sizeof text, "option name Hash type spin default %d min 1 max %d",
                      EngineConfig.sizeHt < 1 ? 1 : EngineConfig.sizeHt > MaxHashMegabytes ? MaxHashMegabytes : EngineConfig.sizeHt,
                      MaxHashMegabytes);
        sendLine(text);
        std::snprintf(text, sizeof text, "option name OwnBook type check default %s",
                      EngineConfig.enableBook ? "true" : "false");
        sendLine(text);
        sendLine("option name Ponder type check default false");
        sendLine("option name Clear Hash type button");
        std::snprintf(text, sizeof text, "option name Threads type spin default %d min 1 max %d",
                      search::SearchThreads.threads(), search::MaxThreads);
        sendLine(text);
        std::snprintf(text, sizeof text, "option name NalimovPath type string default %s",
                      EngineConfig.pathTb[0] ? EngineConfig.pathTb : "<empty>");
        sendLine(text);
        std::snprintf(text, sizeof text, "option name NalimovCache type spin default %d min 0 max %d",
                      EngineConfig.cacheTb < 0 ? 0 : EngineConfig.cacheTb > MaxCacheMegabytes ? MaxCacheMegabytes : EngineConfig.cacheTb,
                      MaxCacheMegabytes);
        sendLine(text);
        std::snprintf(text, sizeof text, "option name Move Overhead type spin default %u min 0 max %lld",
                      DefaultMoveOverheadMs, MaxMoveOverheadMs);
        sendLine(text);
        sendLine("uciok");
    } else if (!std::strcmp(line, "isready")) {
        sendLine("readyok");
    } else if (!std::strcmp(line, "ucinewgame")) {
        GameRecord.setPositionFromFen(board::StartFen);
        TransTable.clear();
        newGameStarted = 1;
    } else if (!std::strncmp(line, "position", 8) && (line[8] == ' ' || !line[8])) {
        setPosition(line + 8);
    } else if (!std::strncmp(line, "go", 2) && (line[2] == ' ' || !line[2])) {
        go(line + 2);
    } else if (!std::strncmp(line, "setoption", 9) && (line[9] == ' ' || !line[9])) {
        setOption(line + 9);
    } else if (!std::strcmp(line, "quit")) {
        platform::exitProcess(0);
    } else if (!std::strcmp(line, "stop") || !std::strcmp(line, "ponderhit") || !std::strcmp(line, "debug on") ||
               !std::strcmp(line, "debug off") || !*line) {
        // Nothing is running, or nothing to do.
    } else {
        infoString("unknown command", line);
    }
}

void runUci() {
    uciMode = 1;
    postEnabled = 0;
    GameRecord.setPositionFromFen(board::StartFen);
    handleUciLine("uci");
    for (;;) {
        const char* line = InputReader.readLine(true);
        if (!line) platform::exitProcess(0);
        handleUciLine(line);
    }
}

}  // namespace driver
