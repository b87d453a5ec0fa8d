// Fuzzing the engine as an interface drives it: the input is what arrives on
// standard input, and the real main loop runs on it (commands, moves, edit mode,
// thinking, pondering, analysis, commands read by the running search) until
// "quit" or the end of the input ends the engine. The clock is the script's, so
// a run is exactly repeatable; every search is bounded by the input, because each
// look at the input consumes a line and the end of the input ends the run.
#include <cstdint>
#include <cstring>

#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/main_loop.h"
#include "driver/protocol.h"
#include "driver/search_control.h"
#include "scripted_platform.h"

namespace {

// Every variable of the conversation back at its start value.
void resetConversation() {
    using namespace driver;
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
    depthLimit = 0;
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
    nodeCount = 0;
    easyMove = 0;
    searchStopped = 0;
    commandsDuringSearch = 1;
    std::memset(static_cast<void*>(&GameRecord), 0, sizeof GameRecord);
    InputReader.examineInput();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    // A small table keeps the start-up of every run cheap.
    driver::EngineConfig.sizeHt = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetConversation();
    fuzzing::setInput(reinterpret_cast<const char*>(data), size);
    fuzzing::runUntilExit([] { driver::runEngine(); });
    return 0;
}
