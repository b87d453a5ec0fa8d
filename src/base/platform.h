// The only part of the engine that knows the operating system: whether input is
// waiting on standard input without blocking, a millisecond clock, process exit.
#pragma once
#include <cstdint>

namespace platform {

// True when standard input is an interactive terminal rather than a pipe or file.
bool inputIsTerminal();
// Bytes waiting on standard input that a read would return at once, or -1 when the
// descriptor cannot tell (then a plain blocking read is the way to find out).
long bytesWaiting();
// Waits up to timeoutMs (0: just look, -1: forever) for standard input to become
// readable or reach its end.
bool waitForInput(int timeoutMs);
// Reads up to size bytes of standard input, blocking; 0 at end of input, -1 on error.
long readInput(char* buffer, unsigned long size);
// Milliseconds from a monotonic clock, wrapping at 32 bits like the tick counters
// the time arithmetic was made for (all differences are taken unsigned).
uint32_t tickMs();
// Memory for a large table that is read at random: aligned so that the system can
// back it with large pages (fewer address-translation misses). Null on failure;
// the contents are not cleared. Released with releaseLargeBlock.
void* allocateLargeBlock(unsigned long bytes);
void releaseLargeBlock(void* block);
// Is path an existing directory?
bool isDirectory(const char* path);
// The machine's memory in megabytes, or 0 when the system cannot tell.
long physicalMegabytes();
// Ends the process at once with the given status, flushing standard output first.
[[noreturn]] void exitProcess(int status);

}  // namespace platform
