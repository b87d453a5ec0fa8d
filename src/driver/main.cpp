// Talvo: a chess engine for xboard and UCI interfaces. Everything lives in the
// engine library; the process only hands control to the driver. "talvo bench
// [depth]" runs the bench instead, as engine testers expect.
#include <cstring>

#include "driver/bench.h"
#include "driver/main_loop.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "bench") == 0) return driver::benchCommand(argc - 2, argv + 2);
    driver::runEngine();
}
