#include "driver/main_loop.h"

#include <climits>

#include "board/board.h"
#include "driver/config.h"
#include "driver/protocol.h"
#include "egtb/registry.h"
#include "search/transposition.h"

namespace driver {

using board::Board;
using search::TransTable;

int tableKilobytes(int megabytes) {
    long long kilobytes = (long long)megabytes * 1024;
    if (kilobytes > INT_MAX) return INT_MAX;
    if (kilobytes < INT_MIN) return INT_MIN;
    return int(kilobytes);
}

void runEngine() {
    egtb::setUpTablebases();
    Board.drawValue = EngineConfig.drawValue;
    // Without memory for the table the engine plays on without one.
    TransTable.allocate(tableKilobytes(EngineConfig.sizeHt));

    // The engine makes no move of its own yet: it keeps the game record the
    // interface dictates and answers every command.
    for (;;) readCommand(true);
}

}  // namespace driver
