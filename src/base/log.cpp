#include "base/log.h"

#include <cstdio>

namespace base {

void logLine(const char* text) {
    if (!logEnabled) return;
    std::FILE* file = std::fopen(LogFileName, "a");
    if (!file) return;
    std::fputs(text, file);
    std::fputc('\n', file);
    std::fclose(file);
}

}  // namespace base
