// talvo-tools keys "<FEN>": the key the engine computes for a position, as the
// opening book and learning file store it.
#include <cstdio>

#include "board/board.h"
#include "board/position_record.h"
#include "board/zobrist.h"

using board::Board;

int runKeys(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools keys \"<FEN>\"\n");
        return 2;
    }
    board::PositionRecord* record = board::parseFen(argv[0]);
    if (!record) {
        std::fprintf(stderr, "not a FEN position: %s\n", argv[0]);
        return 1;
    }
    Board.loadRecord(*record);
    board::HashKey key = Board.hashKey();
    std::printf("fen  %s\n", board::formatFen(*record));
    std::printf("key  low 0x%08x high 0x%08x\n", key.low, key.high);
    return 0;
}
