// The engine's main routine: the start-up steps that follow the construction of
// the global objects, then the command loop.
#pragma once

namespace driver {

// Kilobytes for the transposition table from SIZE_HT megabytes, held in an int:
// sizes past the int range stay at its end (the table caps them further).
int tableKilobytes(int megabytes);

// Never returns; the process ends through "quit" or the end of input.
[[noreturn]] void runEngine();

}  // namespace driver
