// Talvo: a chess engine for xboard-compatible interfaces. Everything lives in the
// engine library; the process only hands control to the driver.
#include "driver/main_loop.h"

int main() { driver::runEngine(); }
