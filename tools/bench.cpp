// talvo-tools bench [depth]: the engine's own bench (driver/bench.h).
#include "driver/bench.h"

int runBench(int argc, char** argv) { return driver::benchCommand(argc, argv); }
