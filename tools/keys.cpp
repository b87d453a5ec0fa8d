// talvo-tools keys "<FEN>": the key the engine computes for a position, as the
// opening book and learning file store it.
#include <cstdio>

#include "board/board.h"
#include "board/position_record.h"
#include "board/zobrist.h"

#include "tool_arguments.h"

using board::Board;

int runKeys(int argc, char** argv) {
    int status = 0;
    board::PositionRecord* record =
        tool_arguments::positionArgument(argc, argv, 0, "talvo-tools keys \"<FEN>\"", &status);
    if (!record) return status;
    Board.loadRecord(*record);
    board::HashKey key = Board.hashKey();
    std::printf("fen  %s\n", board::formatFen(*record));
    std::printf("key  low 0x%08x high 0x%08x\n", key.low, key.high);
    return 0;
}
