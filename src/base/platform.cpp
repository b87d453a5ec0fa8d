#include "base/platform.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

bool isDirectory(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

long physicalMegabytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return long((unsigned long long)pages * (unsigned long long)pageSize >> 20);
}

uint32_t tickMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void* allocateLargeBlock(unsigned long bytes) {
    constexpr unsigned long LargePage = 2ul * 1024 * 1024;
    if (bytes < LargePage) return std::aligned_alloc(64, (bytes + 63) / 64 * 64);
    const unsigned long rounded = (bytes + LargePage - 1) / LargePage * LargePage;
    void* block = std::aligned_alloc(LargePage, rounded);
    if (block) madvise(block, rounded, MADV_HUGEPAGE);  // a hint; ignored where unsupported
    return block;
}

void releaseLargeBlock(void* block) { std::free(block); }

void exitProcess(int status) {
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace platform
