// Fuzzing the engine as an interface drives it: the input is what arrives on
// standard input, and the real main loop runs on it (commands, moves, edit mode,
// thinking, pondering, analysis, commands read by the running search) until
// "quit" or the end of the input ends the engine. The clock is the script's, so
// a run is exactly repeatable; every search is bounded by the input, because each
// look at the input consumes a line and the end of the input ends the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "book/opening_book.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/main_loop.h"
#include "driver/protocol.h"
#include "driver/interface_state.h"
#include "search/limits.h"
#include "scripted_platform.h"

namespace {

// Every variable of the conversation back at its start value.
void resetConversation() {
    using namespace driver;
    using namespace search;
    forceMode = 1;
    waitingForOpponent = 1;
    engineSide = 0;
    ponderEnabled = 0;
    postEnabled = 0;
    analyzeMode = 0;
    fritzMode = 0;
    movesPerSession = 0;
    incrementMs = 0;
    fixedMoveTime = 0;
    fixedDepth = 0;
    engineClock = 0;
    opponentClock = 0;
    pondering = 0;
    ponderedMove = 0;
    rootMoveCount = 0;
    searchStartTick = 0;
    hardTimeLimit = 0;
    targetTime = 0;
    bestMove = 0;
    ponderMove = 0;
    currentScore = 0;
    previousScore = 0;
    lastRootUpdateKind = 0;
    iterationDepth = 0;
    rootMovesSearched = 0;
    recordedNodes = 0;
    easyMove = 0;
    searchStopped = 0;
    commandsDuringSearch = 1;
    std::memset(static_cast<void*>(&GameRecord), 0, sizeof GameRecord);
    InputReader.examineInput();
}

// A book of the start position and every position one move from it, so that
// games begin with book moves. The harness runs in a folder of its own.
void writeStartBook() {
    using namespace driver;
    GameRecord.setPositionFromFen(board::StartFen);
    board::Board.loadRecord(GameRecord.current());
    board::Move moves[MaxLegalMoves];
    bool inCheck = false;
    const int count = listLegalMoves(moves, &inCheck);
    book::BookRecord records[MaxLegalMoves + 1];
    records[0] = book::recordForKey(GameRecord.keys[0]);
    book::setRecordWeight(records[0], 1);
    for (int i = 0; i < count; ++i) {
        GameRecord.playMove(moves[i]);
        records[i + 1] = book::recordForKey(GameRecord.keys[1]);
        book::setRecordWeight(records[i + 1], i % 4);  // weight 0 keeps a move out
        GameRecord.takeBack(1);
    }
    std::sort(records, records + count + 1, [](const book::BookRecord& a, const book::BookRecord& b) {
        return std::memcmp(a.bytes, b.bytes, 8) < 0;
    });
    if (std::FILE* file = std::fopen("Talvo.book", "wb")) {
        std::fwrite(records, sizeof records[0], size_t(count + 1), file);
        std::fclose(file);
    }
    book::OpeningBook.open("Talvo.book");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    // A small table keeps the start-up of every run cheap.
    driver::EngineConfig.sizeHt = 1;
    writeStartBook();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetConversation();
    book::OpeningBookState::seedRandom(0);  // the same book moves every time
    fuzzing::setInput(reinterpret_cast<const char*>(data), size);
    fuzzing::runUntilExit([] { driver::runEngine(); });
    return 0;
}
