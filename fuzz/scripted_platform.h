// The platform layer of the fuzzing harnesses. It stands in for the operating
// system's: standard input is a script of bytes handed over by the harness, the
// millisecond clock is a counter that advances one tick per reading, and ending
// the process returns to the harness instead, so that one process can run the
// engine on input after input.
#pragma once
#include <cstddef>

namespace fuzzing {

// The bytes that standard input will deliver, then its end.
void setInput(const char* data, size_t size);
// Runs body until it returns or the engine ends the process ("quit", the end of
// its input). Returns the exit status, or -1 when body returned by itself.
int runUntilExit(void (*body)());
// Sends standard output to /dev/null unless FUZZ_SHOW_OUTPUT is set.
void silenceOutput();

}  // namespace fuzzing
