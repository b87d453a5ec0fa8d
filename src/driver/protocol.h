// The xboard conversation: the line reader on standard input, the line writer on
// standard output, the command interpreter, and the hooks through which a running
// search lets commands in and sends its thinking (search/limits.h).
//
// There is one thread. The main loop reads commands waiting; the search reads only
// what is already waiting. A command's result says whether a running search has
// lost its point: 1 stop, 0 go on ("?" answers with the best move found so far).
#pragma once
#include <cstdint>

#include "board/types.h"

namespace driver {

constexpr int LineSize = 4096;  // a line holds at most 4095 characters

// Input is read in blocks and cut into lines here, so "is input waiting" is known
// exactly: bytes already received are never hidden in another buffer.
struct InputReaderState {
    InputReaderState() { examineInput(); }
    void examineInput();
    // The next line without its newline (and without a carriage return before it).
    // Null when not waiting and no complete line has arrived, and at end of input.
    // Longer lines are cut at 4095 characters; the rest of such a line is dropped.
    const char* readLine(bool wait);

    bool isPipe = false;           // standard input is a pipe or file, not a terminal
    char line[LineSize] = {};      // the last line handed out
    uint32_t pendingBytes = 0;     // bytes received and not yet handed out
    char received[LineSize] = {};  // those bytes, oldest first
    bool endOfInput = false;
    bool droppingRest = false;  // inside the unread tail of an over-long line
};
extern InputReaderState InputReader;  // defined in driver/globals.cpp

// Writes one line to the interface and flushes it at once.
void sendLine(const char* text);

// Reads and handles one command; "time" and "otim" take the next line along. At
// end of input the engine ends as for "quit".
int readCommand(bool wait);
// Handles one line as readCommand would, without reading on after "time"/"otim".
int handleCommandLine(const char* line);
// Installs the two hooks below as the search's interface (search::Interface); the
// main routine does it at start-up.
void installSearchHooks();
// The search's poll: reads the commands waiting (UCI or xboard) unless
// commandsDuringSearch is off; 1 when one of them ends the search.
int readCommandsDuringSearch();
// A new best root line: a UCI info line, or with "post" an xboard thinking line
// (after the first second, or at every change of the line in fritz or analysis
// mode), also written to the log.
void sendRootLine(int score, int kind, const board::Move* line, bool lineChanged, uint32_t elapsedMs);

}  // namespace driver
