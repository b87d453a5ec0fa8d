#include "scripted_platform.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"

namespace {

const char* script = nullptr;
size_t scriptLeft = 0;
uint32_t clockMs = 0;
std::jmp_buf exitJump;
bool exitArmed = false;

}  // namespace

namespace fuzzing {

void setInput(const char* data, size_t size) {
    script = data;
    scriptLeft = size;
}

int runUntilExit(void (*body)()) {
    // The engine keeps nothing on its stack that needs unwinding (plain arrays,
    // no destructors, no exceptions), so a jump back over it loses nothing.
    int status = setjmp(exitJump);
    if (status != 0) {
        exitArmed = false;
        return status - 1;
    }
    exitArmed = true;
    body();
    exitArmed = false;
    return -1;
}

void silenceOutput() {
    if (!std::getenv("FUZZ_SHOW_OUTPUT")) std::freopen("/dev/null", "w", stdout);
}

}  // namespace fuzzing

namespace platform {

bool inputIsTerminal() { return false; }

long bytesWaiting() { return long(scriptLeft); }

// The script is all there at once, and so is its end.
bool waitForInput(int) { return true; }

long readInput(char* buffer, unsigned long size) {
    size_t n = scriptLeft < size ? scriptLeft : size;
    if (n > 0) std::memcpy(buffer, script, n);
    script += n;
    scriptLeft -= n;
    return long(n);
}

uint32_t tickMs() { return ++clockMs; }

void* allocateLargeBlock(unsigned long bytes) { return std::aligned_alloc(64, (bytes + 63) / 64 * 64); }

void releaseLargeBlock(void* block) { std::free(block); }

// The fuzzed engine stays off the real file system and within a small machine:
// no directory exists, and "memory" is held to 32 MB.
bool isDirectory(const char*) { return false; }

long physicalMegabytes() { return 64; }

void exitProcess(int status) {
    std::fflush(stdout);
    if (exitArmed) std::longjmp(exitJump, status + 1);
    std::exit(status);
}

}  // namespace platform
