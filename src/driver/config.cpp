#include "driver/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"

namespace driver {

namespace {

bool startsWith(const char* line, const char* key) { return std::strncmp(line, key, std::strlen(key)) == 0; }

// The number after a key: from the first digit or '-' on, a signed decimal. A key
// with no number on its line reads as 0, not as its default.
int readNumber(const char* rest) {
    while (*rest && !(*rest >= '0' && *rest <= '9') && *rest != '-') ++rest;
    if (*rest == 0) return 0;
    bool negative = *rest == '-';
    if (negative) ++rest;
    long long value = 0;
    while (*rest >= '0' && *rest <= '9') {
        // Saturate instead of overflowing on absurdly long digit runs.
        if (value < 4000000000LL) value = value * 10 + (*rest - '0');
        ++rest;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    if (value < -2147483647LL - 1) value = -2147483647LL - 1;
    return int(value);
}

// TRUE switches a flag on, then FALSE switches it off: a line with both reads false.
void readFlag(const char* line, bool& flag) {
    if (std::strstr(line, "TRUE")) flag = true;
    if (std::strstr(line, "FALSE")) flag = false;
}

// The text between the first complete pair of double quotes; without one the path
// stays as it was.
void readQuoted(const char* line, char* path, size_t size) {
    const char* open = std::strchr(line, '"');
    while (open) {
        const char* close = std::strchr(open + 1, '"');
        if (close) {
            size_t n = size_t(close - open - 1);
            if (n > size - 1) n = size - 1;
            std::memcpy(path, open + 1, n);
            path[n] = 0;
            return;
        }
        open = std::strchr(open + 1, '"');
    }
}

}  // namespace

void EngineConfigState::setDefaults() {
    sizeHt = 4;
    cacheTb = 0;
    drawValue = 0;
    enableResign = true;
    enableBook = true;
    log = false;
    learn = true;
    wb2 = true;
    pathTb[0] = 0;
    timeReserve = 2000;
    threads = 1;
    base::logEnabled = log;
}

void EngineConfigState::readIni(const char* fileName) {
    FILE* file = std::fopen(fileName, "r");
    if (!file) return;
    // Lines longer than the buffer arrive in pieces, each piece treated as a line.
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        if (startsWith(line, "SIZE_HT")) sizeHt = readNumber(line + 7);
        if (startsWith(line, "CACHE_TB")) cacheTb = readNumber(line + 8);
        if (startsWith(line, "DRAW_VALUE")) drawValue = readNumber(line + 10);
        if (startsWith(line, "ENABLE_RESIGN")) readFlag(line, enableResign);
        if (startsWith(line, "ENABLE_BOOK")) readFlag(line, enableBook);
        if (startsWith(line, "LOG")) readFlag(line, log);
        if (startsWith(line, "LEARN")) readFlag(line, learn);
        if (startsWith(line, "WB2")) readFlag(line, wb2);
        if (startsWith(line, "PATH_TB")) readQuoted(line, pathTb, sizeof pathTb);
        if (startsWith(line, "TIME_RESERVE")) timeReserve = readNumber(line + 12);
        if (startsWith(line, "THREADS")) threads = readNumber(line + 7);
    }
    std::fclose(file);
    base::logEnabled = log;
}

}  // namespace driver
