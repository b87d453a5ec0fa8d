#include "support/board_setup.h"

#include "board/attacks.h"
#include "board/board.h"
#include "board/position_record.h"

namespace testing_support {

bool setBoardFromFen(const char* fen) {
    using namespace board;
    PositionRecord* record = parseFen(fen);
    if (!record) return false;
    Board.loadRecord(*record);
    menCount[White] = menCount[Black] = 0;
    for (int square = 0; square < 64; ++square) {
        const SquareContent& c = squares[square];
        if (c.colour == NoColour) continue;
        if (c.piece == King) pieceList[c.colour][0] = square;
        else pieceList[c.colour][++menCount[c.colour]] = square;
    }
    computeAttackMap(White, attackMap[White]);
    computeAttackMap(Black, attackMap[Black]);
    return true;
}

}  // namespace testing_support
