#include "driver/main_loop.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "board/attacks.h"
#include "board/board.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "book/learning.h"
#include "book/opening_book.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/interface_state.h"
#include "driver/protocol.h"
#include "driver/resources.h"
#include "driver/time_budget.h"
#include "driver/uci.h"
#include "egtb/registry.h"
#include "search/limits.h"
#include "search/root_search.h"
#include "search/search_state.h"
#include "search/time_manager.h"
#include "search/transposition.h"

namespace driver {

using board::Board;
using board::isPlayablePosition;
using board::Move;
using book::LearnTable;
using book::OpeningBook;
using search::analyzeMode;
using search::bestMove;
using search::currentScore;
using search::iterationDepth;
using search::MainSearch;
using search::pondering;
using search::ponderMove;
using search::previousScore;
using search::recordedNodes;
using search::searchStartTick;
using search::searchStopped;
using search::TransTable;

namespace {

// The book is asked while the game is young: up to this ply.
constexpr int LastBookPly = 50;
// An easy move stands this far above every other move in the move ordering.
constexpr int EasyMoveMargin = 200;
// The largest draw value the board takes, in centipawns.
constexpr int MaxDrawValue = 10000;

void sendAndLog(const char* text) {
    sendLine(text);
    base::logLine(text);
}

bool sameMove(Move a, Move b) { return (a & board::MoveIdentity) == (b & board::MoveIdentity); }

bool isListed(const Move* moves, Move move) {
    for (; *moves; ++moves)
        if (sameMove(*moves, move)) return true;
    return false;
}

void loadCurrentPosition() { Board.loadRecord(GameRecord.current()); }

// "12. e2e4" or "12. ... e7e5" for the move about to enter the record.
void logMoveNumber(Move move) {
    char text[32];
    std::snprintf(text, sizeof text, "%d. %s%s", GameRecord.plyCount / 2 + 1,
                  GameRecord.current().sideToMove ? "... " : "", board::moveToText(move));
    base::logLine(text);
}

// The learned positions go into the table at the start of every game: searches
// of the last game may have pushed them out. Every 255 searches the generation
// wraps to 1 and they are offered again too, to bring back those pushed out since.
void offerLearnedPositions() {
    if (!TransTable.table || !(newGameStarted || TransTable.generation == 1)) return;
    LearnTable.load(book::LearnFileName);
    newGameStarted = 0;
}

// A book move for the current position, or 0.
Move bookMove(const Move* moves) {
    if (GameRecord.plyCount > LastBookPly || !EngineConfig.enableBook || analyzeMode) return board::NoMove;
    if (!gatherBookCandidates(moves)) return board::NoMove;
    return OpeningBook.chooseMove();
}

// The predicted reply still stands on the record as its last move.
bool predictionStands() {
    const int ply = GameRecord.plyCount;
    return ponderedMove != 0 && ply > 0 && sameMove(GameRecord.moves[ply - 1], ponderedMove);
}

// After a ponder or analysis search: a ponder search that ended before the
// opponent moved waits for that move (or for "force" or "remove"), which decides
// whether its best move is played.
void awaitPonderOutcome(bool analysing) {
    while (pondering) {
        if (analysing) {
            // Analysis predicts nothing. Once it is switched off, the flag must not
            // take the clock away from the next search.
            if (!analyzeMode) pondering = 0;
            return;
        }
        // A new game, a new position or a take-back voided the prediction.
        if (!predictionStands()) {
            pondering = 0;
            ponderedMove = 0;
            return;
        }
        // Analysis of the real position, not of our guess at the reply.
        if (analyzeMode) {
            GameRecord.takeBack(1);
            pondering = 0;
            ponderedMove = 0;
            bestMove = 0;
            ponderMove = 0;
            return;
        }
        readCommand(true);
    }
}

// The engine's move is played: on the record, to the interface, then the end of
// the game by rule or by resignation.
void playEngineMove() {
    // Step 10. The move-number line; step 11 the score and depth it was found with.
    logMoveNumber(bestMove);
    const int ply = GameRecord.plyCount;
    GameRecord.scores[ply] = currentScore;
    GameRecord.depths[ply] = iterationDepth;
    if (!GameRecord.playMove(bestMove)) {
        // No room for another ply: the game cannot go on in this engine.
        sendAndLog("tellusererror Game too long: the game record is full");
        forceMode = 1;
        waitingForOpponent = 1;
        bestMove = ponderMove = 0;
        return;
    }

    // Step 12.
    char text[32];
    std::snprintf(text, sizeof text, "move %s", board::moveToText(bestMove));
    sendLine(text);

    // Step 13. A draw by rule; mates are found by the main loop.
    if (const char* result = GameRecord.gameResultText()) {
        sendAndLog(result);
        if (!fritzMode) forceMode = waitingForOpponent = 1;
        ponderMove = 0;
    }
    // Step 14. Resignation, never in fritz mode.
    if (EngineConfig.enableResign && !fritzMode && GameRecord.shouldResign(opponentClock)) {
        forceMode = waitingForOpponent = 1;
        ponderMove = 0;
        sendAndLog("resign");
    }
}

// The opponent is to move. With pondering on, the predicted reply is played on the
// record and searched until the real move arrives.
void ponderOnPrediction(const Move* moves) {
    if (!ponderEnabled || !ponderMove || !isListed(moves, ponderMove) || GameRecord.plyCount >= MaxGamePly - 1) {
        readCommand(true);
        return;
    }
    ponderedMove = ponderMove & board::MoveIdentity;
    char text[32];
    std::snprintf(text, sizeof text, "Hint: %s", board::moveToText(ponderedMove));
    sendAndLog(text);
    if (!GameRecord.playMove(ponderedMove)) {  // the record is full: nothing to ponder on
        ponderMove = ponderedMove = 0;
        return;
    }

    loadCurrentPosition();
    Move replies[MaxLegalMoves];
    bool inCheck = false;
    if (listLegalMoves(replies, &inCheck) > 0 && !GameRecord.gameResultText()) {
        think(replies, 1);
        return;
    }
    // The prediction ends the game: nothing to ponder on.
    GameRecord.takeBack(1);
    ponderMove = 0;
    ponderedMove = 0;
}

}  // namespace

int tableKilobytes(int megabytes) {
    long long kilobytes = (long long)megabytes * 1024;
    if (kilobytes > INT_MAX) return INT_MAX;
    if (kilobytes < INT_MIN) return INT_MIN;
    return int(kilobytes);
}

// The book knows positions: every legal move is played on the record, and the
// position it leads to looked up.
bool gatherBookCandidates(const Move* moves) {
    book::BookRecord here = book::recordForKey(GameRecord.keys[GameRecord.plyCount]);
    if (!OpeningBook.probe(here)) return false;
    OpeningBook.clearCandidates();
    for (; *moves; ++moves) {
        if (!GameRecord.playMove(*moves)) continue;
        book::BookRecord next = book::recordForKey(GameRecord.keys[GameRecord.plyCount]);
        if (OpeningBook.probe(next)) OpeningBook.addCandidate(*moves, next);
        GameRecord.takeBack(1);
    }
    return true;
}

int boardDrawValue(int setting) {
    if (setting > MaxDrawValue) return MaxDrawValue;
    if (setting < -MaxDrawValue) return -MaxDrawValue;
    return setting;
}

int listLegalMoves(Move* moves, bool* inCheck) {
    const int side = Board.sideToMove;
    moves[0] = board::NoMove;
    *inCheck = false;
    if (!search::prepareSearch(Board, MainSearch, side)) return 0;
    *inCheck = board::inCheck(Board, side);
    board::ScoredMove* list = MainSearch.moveList;
    const int n = board::generateLegalMoves(Board, list, side, 0);
    for (int i = 0; i < n; ++i) moves[i] = list[i].move & board::MoveIdentity;
    moves[n] = board::NoMove;
    return n;
}

void startSearch(int historyStart) {
    // Step 1. The root list, legal moves only, with their ordering scores.
    const int side = Board.sideToMove;
    if (!search::prepareSearch(Board, MainSearch, side)) return;
    board::ScoredMove* first = MainSearch.moveList;
    const int n = board::generateLegalMoves(Board, first, side, 0);

    // Steps 2-3. A move the ordering rates far above all others is an easy-move
    // candidate; the time layer gets it only when it recaptures.
    int best = -board::KingCaptureScore;
    Move candidate = board::NoMove;
    for (int i = 0; i < n; ++i) {
        const int e = first[i].score;
        if (e > best + EasyMoveMargin) candidate = first[i].move & board::MoveIdentity;
        else if (e > best - EasyMoveMargin) candidate = board::NoMove;
        if (e > best) best = e;
    }
    search::setEasyMove(GameRecord.isRecapture(candidate));

    // Step 4. The game's keys since the last irreversible move, this position included.
    // Resizes the interface asks for meanwhile wait for the search to end.
    const board::HashKey* keys = GameRecord.keys;
    searchRunning = true;
    search::searchRoot(MainSearch, Board, side, first, first + n, keys + historyStart,
                       keys + GameRecord.plyCount + 1, search::NoMateLimit);
    searchRunning = false;
    applyDeferredChanges();
}

void searchForMove(const Move* moves, int ponder) {
    // Steps 1-2. The budget; a ponder or analysis search has no time limit.
    computeTimeBudget();
    const bool analysing = analyzeMode != 0;
    if (analysing) {
        pondering = 1;
        ponderedMove = 0;
    } else {
        pondering = ponder;
    }

    // Steps 3-4.
    base::logLine(board::formatFen(GameRecord.current()));
    recordedNodes = 0;
    iterationDepth = 0;
    searchStartTick = platform::tickMs();
    previousScore = GameRecord.engineScoreBefore();
    currentScore = 0;

    // Steps 5-7. The book, else the search (which a command may stop).
    bestMove = bookMove(moves);
    ponderMove = 0;
    if (bestMove) {
        sendAndLog(OpeningBook.bookLine);
    } else {
        searchStopped = 0;
        offerLearnedPositions();
        loadCurrentPosition();
        startSearch(GameRecord.historyStart());
    }
}

void think(const Move* moves, int ponder) {
    const bool analysing = analyzeMode != 0;
    searchForMove(moves, ponder);

    // Step 8.
    awaitPonderOutcome(analysing);

    // Step 9. An analysis plays nothing, even when "exit" ended it. Nor is a move
    // played that is not legal here: the position changed under the search, and
    // the commands that did it keep the record right.
    if (!bestMove || analysing || analyzeMode || !isListed(moves, bestMove)) return;
    bestMove &= board::MoveIdentity;
    playEngineMove();
}

[[noreturn]] void runEngine() {
    // Start-up step 0: the search reaches this interface through its hooks.
    installSearchHooks();
    // Start-up steps 1-2: the tablebases of PATH_TB and their cache; the board learns
    // the largest table it may probe, and the draw value; the learn table whether
    // LEARN is on.
    egtb::setUpTablebases(EngineConfig.pathTb, EngineConfig.cacheTb);
    Board.drawValue = boardDrawValue(EngineConfig.drawValue);
    LearnTable.enabled = EngineConfig.learn;
    // Step 3. Without memory for the table the engine plays on without one. Then
    // the search threads of THREADS (a bad value is brought within bounds).
    TransTable.allocate(tableKilobytes(EngineConfig.sizeHt));
    if (EngineConfig.threads > 1) setThreads(EngineConfig.threads);
    // Step 4. The first command also chooses the protocol: "uci" switches to UCI
    // for the whole run, anything else is xboard.
    const char* first = InputReader.readLine(true);
    if (!first) platform::exitProcess(0);
    if (std::strcmp(first, "uci") == 0) runUci();
    handleCommandLine(first);

    Move moves[MaxLegalMoves];
    for (;;) {
        // 1. In force mode, or while the opponent has to move, only commands count.
        while ((waitingForOpponent || forceMode) && !analyzeMode) readCommand(true);

        // A position the search cannot hold (before the first "new", the record has
        // no kings) is never loaded; the interface has to set up a game first.
        if (!isPlayablePosition(GameRecord.current())) {
            readCommand(true);
            continue;
        }

        // 2.
        const int sideToMove = GameRecord.current().sideToMove;
        loadCurrentPosition();
        bool inCheck = false;
        const int count = listLegalMoves(moves, &inCheck);

        // 3. Mate or stalemate: announced after every command until the game changes.
        if (count == 0) {
            sendAndLog(!inCheck ? "1/2-1/2 {Stalemate}" : sideToMove == 0 ? "0-1 {Black mates}" : "1-0 {White mates}");
            readCommand(true);
            continue;
        }

        // 4. The engine's move, or analysis.
        if (sideToMove == engineSide || analyzeMode) {
            rootMoveCount = count;
            const bool analysing = analyzeMode != 0;
            think(moves, 0);
            // An analysis that a command ended goes straight on with the position as
            // it is now; one that ended by itself has nothing new to say until the
            // interface changes something.
            if (analysing && analyzeMode && searchStopped) continue;
            readCommand(analyzeMode != 0);
            continue;
        }

        // 5. The opponent's turn.
        ponderOnPrediction(moves);
    }
}

}  // namespace driver
