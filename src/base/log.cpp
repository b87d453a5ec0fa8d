#include "base/log.h"

#include <cstdio>
#include <cstdlib>

#include "base/assert.h"

namespace base {

void logLine(const char* text) {
    if (!logEnabled) return;
    std::FILE* file = std::fopen(LogFileName, "a");
    if (!file) return;
    std::fputs(text, file);
    std::fputc('\n', file);
    std::fclose(file);
}

// A broken invariant goes to the log as well, where a game's last lines lead up to it.
void assertionFailed(const char* condition, const char* file, int line) {
    char text[256];
    std::snprintf(text, sizeof text, "assertion failed: %s (%s:%d)", condition, file, line);
    std::fprintf(stderr, "%s\n", text);
    logLine(text);
    std::abort();
}

}  // namespace base
