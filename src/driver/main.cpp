// Talvo: a chess engine for xboard-compatible interfaces. Everything lives in the
// engine library; the process only hands control to the driver.
#include <cstdio>
#include <cstring>

#include "driver/platform.h"

int main() {
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        line[std::strcspn(line, "\r\n")] = 0;
        if (std::strcmp(line, "quit") == 0) break;
    }
    platform::exitProcess(0);
}
