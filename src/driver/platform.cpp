#include "driver/platform.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

bool inputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

long bytesWaiting() {
    int count = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &count) != 0) return -1;
    return count;
}

bool waitForInput(int timeoutMs) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        int ready = poll(&fd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        // Hang-up and errors count as "readable": the read then reports the end.
        return ready > 0;
    }
}

long readInput(char* buffer, unsigned long size) {
    for (;;) {
        ssize_t n = read(STDIN_FILENO, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return long(n);
    }
}

uint32_t tickMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void exitProcess(int status) {
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace platform
