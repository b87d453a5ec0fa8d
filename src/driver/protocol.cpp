#include "driver/protocol.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/interface_state.h"
#include "driver/resources.h"
#include "driver/time_budget.h"
#include "driver/uci.h"
#include "search/limits.h"
#include "search/time_manager.h"

namespace driver {

using board::isPlayablePosition;
using board::Move;
using board::PositionRecord;
using search::analyzeMode;
using search::bestMove;
using search::currentScore;
using search::easyMove;
using search::fixedDepth;
using search::iterationDepth;
using search::lastRootUpdateKind;
using search::pondering;
using search::ponderMove;
using search::previousScore;
using search::recordedNodes;
using search::rootMovesSearched;
using search::searchStartTick;
using search::targetTime;

namespace {

constexpr const char* EngineName = "Talvo 5.30";
constexpr uint32_t MaxMs = 0xFFFFFFFFu;
constexpr int MaxDepth = 64;  // the root search never goes deeper

// ---- Small helpers ---------------------------------------------------------------

bool startsWith(const char* line, const char* prefix) {
    return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}

void sendAndLog(const char* text) {
    sendLine(text);
    base::logLine(text);
}

// A leading signed decimal, as atoi reads it (blanks skipped, no digits: 0), but
// saturating instead of overflowing on absurd digit runs.
// A resize the engine could not take is an error for the interface; one brought
// within bounds is told to the user.
void tellResourceReply(const ResourceReply& reply, const char* line) {
    char text[LineSize + 400];
    if (reply.outcome == ResourceReply::Refused) std::snprintf(text, sizeof text, "Error (%s): %s", reply.text, line);
    else if (reply.outcome == ResourceReply::Clamped) std::snprintf(text, sizeof text, "telluser %s", reply.text);
    else return;
    sendLine(text);
}

long long leadingNumber(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < 1000000000000LL) value = value * 10 + (*text - '0');
    return negative ? -value : value;
}

// A protocol count in some unit turned into milliseconds. A clock cannot hold less
// than nothing, and a value past the 32-bit tick range saturates instead of wrapping
// into a short one.
uint32_t toMilliseconds(long long count, long long scale) {
    if (count <= 0) return 0;
    long long ms = count * scale;
    return ms > (long long)MaxMs ? MaxMs : uint32_t(ms);
}

bool sameMove(Move a, Move b) { return (a & board::MoveIdentity) == (b & board::MoveIdentity); }

bool isMan(char c) { return c != 0 && std::strchr("PNBRQKpnbrqk", c) != nullptr; }
bool isKing(char c) { return c == 'K' || c == 'k'; }

// The predicted reply stands on the record only while a ponder search for it is
// on and it is the last move played. Analysis sets the pondering flag without a
// prediction, and a new game or a take-back voids the prediction.
bool predictionOnRecord() {
    int ply = GameRecord.plyCount;
    return pondering && ponderedMove != 0 && ply > 0 && sameMove(GameRecord.moves[ply - 1], ponderedMove);
}

// Ends pondering for "force" and "remove": the predicted move goes back off the
// record when it is there.
void stopPondering() {
    if (!pondering) return;
    if (predictionOnRecord()) GameRecord.takeBack(1);
    pondering = 0;
    ponderedMove = 0;
}

// Whatever the search found belongs to a position that is gone.
void forgetSearchResult() {
    bestMove = 0;
    ponderMove = 0;
    ponderedMove = 0;
}

// "1. e2e4" or "1. ... e7e5" for the move about to enter the record.
void logMoveNumber(Move move) {
    char text[32];
    int ply = GameRecord.plyCount;
    std::snprintf(text, sizeof text, "%d. %s%s", ply / 2 + 1, GameRecord.current().sideToMove ? "... " : "",
                  board::moveToText(move));
    base::logLine(text);
}

void sendResultIfOver() {
    if (const char* result = GameRecord.gameResultText()) sendAndLog(result);
}

// The first word of a line, for echoing a move back.
void firstWord(const char* line, char* word, size_t size) {
    size_t n = 0;
    while (n + 1 < size && line[n] != 0 && line[n] != ' ' && line[n] != '\t') {
        word[n] = line[n];
        ++n;
    }
    word[n] = 0;
}

// ---- Moves from the interface ----------------------------------------------------

// The record applies moves as their letters say. These would leave a position that
// no later step can live with: a move of nothing, a king taken off the board (as
// the captured man, as the pawn taken en passant or under the castling rook), or a
// castling rook made from nothing, which can give a side a seventeenth man.
bool breaksPosition(const PositionRecord& p, Move move) {
    int from = board::moveFrom(move), to = board::moveTo(move);
    char piece = p.squares[from];
    if (!isMan(piece) || isKing(p.squares[to])) return true;
    if ((piece == 'P' || piece == 'p') && board::fileOf(from) != board::fileOf(to) && !isMan(p.squares[to]) &&
        isKing(p.squares[board::rankOf(from) * 8 + board::fileOf(to)]))
        return true;
    bool whiteCastles = piece == 'K' && from == 4 && (to == 6 || to == 2);
    bool blackCastles = piece == 'k' && from == 60 && (to == 62 || to == 58);
    if (whiteCastles || blackCastles) {
        bool kingside = to == 6 || to == 62;
        int corner = from + (kingside ? 3 : -4);
        int rookTo = from + (kingside ? 1 : -1);
        if (p.squares[corner] != (whiteCastles ? 'R' : 'r') || isKing(p.squares[rookTo])) return true;
    }
    return false;
}

// The decision on a move that turns a ponder search into the engine's own timed
// search: stop at once only when the search already did enough with the time the
// new budget grants.
int ponderHitVerdict() {
    base::logLine("Good Ponder");
    computeTimeBudget();
    if (analyzeMode || fixedDepth || lastRootUpdateKind == 2 || iterationDepth < 2 ||
        currentScore <= previousScore - 20)
        return 0;
    uint32_t elapsed = platform::tickMs() - searchStartTick;
    if (elapsed > targetTime && (currentScore > previousScore || uint64_t(elapsed) > 2ull * targetTime))
        return 1;
    if (easyMove != 0 && bestMove == easyMove && elapsed > targetTime / 8) {
        base::logLine("Speed");
        return 1;
    }
    return 0;
}

int handleMove(const char* line, Move move) {
    bool predicted = pondering && predictionOnRecord();
    if (predicted && sameMove(move, ponderedMove)) {
        // The move is already on the record; only the search's time changes.
        pondering = 0;
        ponderedMove = 0;
        return ponderHitVerdict();
    }

    // Check the move against the position it will really be played from, before
    // anything changes: a refused move leaves game and search as they were.
    int fromPly = predicted ? GameRecord.plyCount - 1 : GameRecord.plyCount;
    char word[16], text[64];
    firstWord(line, word, sizeof word);
    if (fromPly >= MaxGamePly - 1) {
        std::snprintf(text, sizeof text, "Illegal move (game record full): %s", word);
        sendAndLog(text);
        return 0;
    }
    if (breaksPosition(GameRecord.positions[fromPly], move)) {
        std::snprintf(text, sizeof text, "Illegal move: %s", word);
        sendAndLog(text);
        return 0;
    }

    bool wasPondering = pondering;
    pondering = 0;
    if (wasPondering && analyzeMode) {
        if (predicted) GameRecord.takeBack(1);
        logMoveNumber(move);
        GameRecord.playMove(move);
    } else if (predicted) {
        // The opponent chose another reply than the one pondered on.
        base::logLine("Bad Ponder");
        GameRecord.takeBack(1);
        logMoveNumber(move);
        GameRecord.playMove(move);
        sendResultIfOver();
    } else {
        logMoveNumber(move);
        GameRecord.playMove(move);
        sendResultIfOver();
        if (!forceMode) waitingForOpponent = 0;
    }
    forgetSearchResult();
    return 1;
}

// ---- Positions from the interface ------------------------------------------------

// A position that would break the engine later is refused and the game kept.
bool refusedPosition(const PositionRecord& record) {
    if (isPlayablePosition(record)) return false;
    sendAndLog("tellusererror Illegal position");
    return true;
}

// Edit mode: men are placed one line at a time ("Pe4"), "c" switches to Black, "#"
// empties the board and "." ends. Castling rights follow from the placement.
int editPosition() {
    PositionRecord record;
    std::memset(&record, 0, sizeof record);
    record.sideToMove = GameRecord.current().sideToMove;
    bool black = false;
    for (;;) {
        const char* text = InputReader.readLine(true);
        if (!text) platform::exitProcess(0);  // end of input ends the engine
        if (std::strcmp(text, "c") == 0) {
            black = true;
        } else if (std::strcmp(text, ".") == 0) {
            break;
        } else if (std::strcmp(text, "#") == 0) {
            std::memset(record.squares, ' ', sizeof record.squares);
        } else if (text[0] != 0) {
            int square = board::parseSquare(text + 1);
            char letter = text[0];
            if (black && letter >= 'A' && letter <= 'Z') letter = char(letter - 'A' + 'a');
            if (square >= 0) record.squares[square] = letter;
        }
    }
    if (record.squares[4] == 'K' && record.squares[7] == 'R') record.whiteKingside = 1;
    if (record.squares[4] == 'K' && record.squares[0] == 'R') record.whiteQueenside = 1;
    if (record.squares[60] == 'k' && record.squares[63] == 'r') record.blackKingside = 1;
    if (record.squares[60] == 'k' && record.squares[56] == 'r') record.blackQueenside = 1;
    // Whatever is not a man (the x that clears a square, squares never set) is an
    // empty square; the record spells empty squares as blanks everywhere else.
    for (char& c : record.squares)
        if (!isMan(c)) c = ' ';

    if (refusedPosition(record)) return 0;
    GameRecord.setPositionFromRecord(&record);
    forgetSearchResult();
    newGameStarted = 1;
    return 1;
}

int setBoard(const char* fen) {
    const PositionRecord* record = board::parseFen(fen);
    // Text that does not parse falls back to the start of the current game.
    if (record && refusedPosition(*record)) return 0;
    GameRecord.setPositionFromRecord(record);
    forgetSearchResult();
    newGameStarted = 1;
    return 1;
}

// ---- Time controls -----------------------------------------------------------------

// "level MPS BASE INC": BASE is not used, the clock comes with "time". INC is in
// seconds, with a fraction where the interface gives one ("0.1").
void setLevel(const char* rest) {
    const char* blank = std::strchr(rest, ' ');
    if (blank) {
        long long moves = leadingNumber(rest);
        movesPerSession = moves < 0 ? 0 : moves > 1000000 ? 1000000 : int(moves);
        if (const char* second = std::strchr(blank + 1, ' '))
            incrementMs = secondsTextToMs(second + 1);
    }
    fixedMoveTime = 0;
    fixedDepth = 0;
}

void sendStatus() {
    char text[128];
    uint32_t elapsed = platform::tickMs() - searchStartTick;
    std::snprintf(text, sizeof text, "stat01: %u %llu %d %d %d", elapsed / 10, (unsigned long long)recordedNodes,
                  iterationDepth, rootMoveCount - rootMovesSearched, rootMoveCount);
    sendLine(text);
}

// ---- The command table -------------------------------------------------------------

enum class Match { Exact, Prefix };

struct Command {
    const char* keyword;
    Match match;
    // Gets the whole line and the text after the keyword; sets readNext when the
    // next line belongs to the same call.
    int (*handle)(const char* line, const char* rest, bool& readNext);
};

// Interfaces match these replies as they stand, misspelling included.
int unsupported(const char* line, const char*, bool&) {
    char text[LineSize + 64];
    std::snprintf(text, sizeof text, "Error (Unsuported command) %s", line);
    sendAndLog(text);
    return 0;
}

// Checked in this order; the first match decides.
constexpr Command Commands[] = {
    {"xboard", Match::Exact,
     [](const char*, const char*, bool&) {
         sendLine(EngineName);
         return 0;
     }},
    {"new", Match::Exact,
     [](const char*, const char*, bool&) {
         GameRecord.setPositionFromFen(board::StartFen);
         forceMode = 0;
         fixedDepth = 0;
         clockKnown = 0;  // the interface sends the new game's clock before it starts
         newGameStarted = 1;
         forgetSearchResult();
         engineSide = 1;
         waitingForOpponent = 1;
         return 1;
     }},
    {"quit", Match::Exact, [](const char*, const char*, bool&) -> int { platform::exitProcess(0); }},
    {"force", Match::Exact,
     [](const char*, const char*, bool&) {
         forceMode = 1;
         waitingForOpponent = 1;
         ponderMove = 0;
         bestMove = 0;
         stopPondering();
         return 1;
     }},
    {"white", Match::Exact,
     [](const char*, const char*, bool&) {
         waitingForOpponent = 1;
         engineSide = 1;
         return 1;
     }},
    {"black", Match::Exact,
     [](const char*, const char*, bool&) {
         engineSide = 0;
         waitingForOpponent = 1;
         return 1;
     }},
    {"level ", Match::Prefix,
     [](const char*, const char* rest, bool&) {
         setLevel(rest);
         return 0;
     }},
    {"st ", Match::Prefix,
     [](const char*, const char* rest, bool&) {
         fixedDepth = 0;
         fixedMoveTime = toMilliseconds(leadingNumber(rest), 1000);
         return 0;
     }},
    {"sd ", Match::Prefix,
     [](const char*, const char* rest, bool&) {
         // A depth below 1 would stop every search before it found a move.
         long long depth = leadingNumber(rest);
         fixedDepth = depth < 0 ? 0 : depth > MaxDepth ? MaxDepth : int(depth);
         return 0;
     }},
    {"time ", Match::Prefix,
     [](const char*, const char* rest, bool& readNext) {
         engineClock = toMilliseconds(leadingNumber(rest), 10);
         clockKnown = 1;
         readNext = true;
         return 0;
     }},
    {"otim ", Match::Prefix,
     [](const char*, const char* rest, bool& readNext) {
         opponentClock = toMilliseconds(leadingNumber(rest), 10);
         readNext = true;
         return 0;
     }},
    {"go", Match::Exact,
     [](const char*, const char*, bool&) {
         engineSide = GameRecord.current().sideToMove ? 1 : 0;
         forceMode = 0;
         waitingForOpponent = 0;
         return 0;
     }},
    {"?", Match::Exact, [](const char*, const char*, bool&) { return int(bestMove); }},
    {"undo", Match::Exact,
     [](const char*, const char*, bool&) {
         GameRecord.takeBack(1);
         forgetSearchResult();
         engineSide = GameRecord.current().sideToMove ? 0 : 1;
         return 1;
     }},
    {"remove", Match::Exact,
     [](const char*, const char*, bool&) {
         stopPondering();
         GameRecord.takeBack(2);
         forgetSearchResult();
         return 1;
     }},
    {"hard", Match::Exact,
     [](const char*, const char*, bool&) {
         ponderEnabled = 1;
         return 0;
     }},
    {"easy", Match::Exact,
     [](const char*, const char*, bool&) {
         ponderEnabled = 0;
         return 0;
     }},
    {"post", Match::Exact,
     [](const char*, const char*, bool&) {
         postEnabled = 1;
         return 0;
     }},
    {"nopost", Match::Exact,
     [](const char*, const char*, bool&) {
         postEnabled = 0;
         return 0;
     }},
    {"edit", Match::Exact, [](const char*, const char*, bool&) { return editPosition(); }},
    {"fritz", Match::Exact,
     [](const char*, const char*, bool&) {
         fritzMode = 1;
         return 0;
     }},
    {"computer", Match::Exact, [](const char*, const char*, bool&) { return 0; }},
    {"analyze", Match::Exact,
     [](const char*, const char*, bool&) {
         analyzeMode = 1;
         return 1;
     }},
    {"exit", Match::Exact,
     [](const char*, const char*, bool&) {
         analyzeMode = 0;
         return 1;
     }},
    {"result", Match::Prefix, [](const char*, const char*, bool&) { return 1; }},
    {"protover ", Match::Prefix,
     [](const char*, const char*, bool&) {
         if (!EngineConfig.wb2) return 0;
         sendLine("feature ping=1 setboard=1 playother=0 san=0 usermove=0 time=1 draw=0");
         sendLine("feature sigint=0 sigterm=0 reuse=1 analyze=1 variants=\"normal\" colors=1 ics=0");
         sendLine("feature myname=\"Talvo 5.30\" name=1");
         sendLine("feature smp=1 memory=1 egt=\"nalimov\"");
         // Without it the interface waits out its feature timeout at every start.
         sendLine("feature done=1");
         return 0;
     }},
    {"memory ", Match::Prefix,
     [](const char* line, const char* rest, bool&) {
         tellResourceReply(setMemoryMegabytes(leadingNumber(rest)), line);
         return 0;
     }},
    {"cores ", Match::Prefix,
     [](const char* line, const char* rest, bool&) {
         tellResourceReply(setThreads(leadingNumber(rest)), line);
         return 0;
     }},
    {"egtpath ", Match::Prefix,
     [](const char* line, const char* rest, bool&) {
         // "egtpath TYPE PATH": only Nalimov's tables are ours.
         while (*rest == ' ') ++rest;
         if (std::strncmp(rest, "nalimov ", 8) != 0) return 0;
         rest += 8;
         while (*rest == ' ') ++rest;
         tellResourceReply(setTablebasePaths(rest), line);
         return 0;
     }},
    {"ping ", Match::Prefix,
     [](const char* line, const char*, bool&) {
         char reply[LineSize];
         std::snprintf(reply, sizeof reply, "%s", line);
         reply[1] = 'o';
         sendLine(reply);
         return 0;
     }},
    {"name ", Match::Prefix, [](const char*, const char*, bool&) { return 0; }},
    {"accepted ", Match::Prefix, [](const char*, const char*, bool&) { return 0; }},
    {"rejected ", Match::Prefix, [](const char*, const char*, bool&) { return 0; }},
    {"setboard ", Match::Prefix, [](const char*, const char* rest, bool&) { return setBoard(rest); }},
    {".", Match::Exact,
     [](const char*, const char*, bool&) {
         sendStatus();
         return 0;
     }},
    {"variant", Match::Exact, unsupported},
    {"random", Match::Exact, unsupported},
    {"draw", Match::Exact, unsupported},
    {"hint", Match::Exact, unsupported},
    {"bk", Match::Exact, unsupported},
};

int interpret(const char* line, bool& readNext) {
    readNext = false;
    for (const Command& command : Commands) {
        bool matches = command.match == Match::Exact ? std::strcmp(line, command.keyword) == 0
                                                     : startsWith(line, command.keyword);
        if (matches) return command.handle(line, line + std::strlen(command.keyword), readNext);
    }
    // Anything else is the opponent's move when it starts with two squares.
    if (Move move = board::parseMoveText(line)) return handleMove(line, move);
    char text[LineSize + 64];
    std::snprintf(text, sizeof text, "Error (Unknown command) %s", line);
    sendAndLog(text);
    return 0;
}

}  // namespace

// ---- Input -------------------------------------------------------------------------

void InputReaderState::examineInput() {
    std::memset(line, 0, sizeof line);
    pendingBytes = 0;
    endOfInput = false;
    droppingRest = false;
    isPipe = !platform::inputIsTerminal();
}

const char* InputReaderState::readLine(bool wait) {
    for (;;) {
        if (droppingRest) {
            // The tail of an over-long line is no command of its own.
            auto* newline = static_cast<char*>(std::memchr(received, '\n', pendingBytes));
            uint32_t dropped = newline ? uint32_t(newline - received) + 1 : pendingBytes;
            std::memmove(received, received + dropped, pendingBytes - dropped);
            pendingBytes -= dropped;
            droppingRest = newline == nullptr;
        }
        if (!droppingRest) {
            auto* newline = static_cast<char*>(std::memchr(received, '\n', pendingBytes));
            uint32_t length = 0, consumed = 0;
            if (newline) {
                length = uint32_t(newline - received);
                consumed = length + 1;
            } else if (pendingBytes == sizeof received) {
                length = sizeof line - 1;
                consumed = pendingBytes;
                droppingRest = true;
            } else if (endOfInput && pendingBytes > 0) {
                length = consumed = pendingBytes;  // a last line without its newline
            }
            if (consumed > 0) {
                std::memcpy(line, received, length);
                // A carriage return before the newline comes from interfaces that
                // write text-mode lines; it is no part of the command.
                if (length > 0 && line[length - 1] == '\r') --length;
                line[length] = 0;
                std::memmove(received, received + consumed, pendingBytes - consumed);
                pendingBytes -= consumed;
                return line;
            }
        }
        if (endOfInput) return nullptr;
        // Polling reads only what has arrived; a line still on its way is left for
        // a later call.
        if (!wait && !platform::waitForInput(0)) return nullptr;
        long got = platform::readInput(received + pendingBytes, sizeof received - pendingBytes);
        if (got <= 0)
            endOfInput = true;
        else
            pendingBytes += uint32_t(got);
    }
}

// ---- Output, commands, polling, time -----------------------------------------------

void sendLine(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int handleCommandLine(const char* line) {
    bool readNext = false;
    return interpret(line, readNext);
}

int readCommand(bool wait) {
    for (;;) {
        const char* line = InputReader.readLine(wait);
        if (!line) {
            // The interface has gone: end as "quit" does rather than wait forever.
            if (InputReader.endOfInput) platform::exitProcess(0);
            return 0;
        }
        bool readNext = false;
        int result = interpret(line, readNext);
        if (!readNext) return result;
    }
}

void installSearchHooks() { search::Interface = {readCommandsDuringSearch, sendRootLine}; }

int readCommandsDuringSearch() {
    return commandsDuringSearch && (uciMode ? uciPollCommands() : readCommand(false)) != 0 ? 1 : 0;
}

void sendRootLine(int score, int kind, const Move* line, bool lineChanged, uint32_t elapsedMs) {
    if (uciMode) {
        sendUciInfo(score, kind, line);
        return;
    }
    const bool changed = lineChanged && (fritzMode || analyzeMode);
    if (!postEnabled || !(elapsedMs > 1000 || changed)) return;
    char text[512];
    search::formatThinkingLine(text, sizeof text, score, line, elapsedMs);
    sendLine(text);
    base::logLine(text);
}

}  // namespace driver
