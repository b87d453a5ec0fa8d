// talvo-tools eval "<FEN>": the static evaluation of a position and where it comes
// from, so that a user can see why the engine likes or dislikes it.
#include <cstdio>

#include "board/board.h"
#include "board/position_record.h"
#include "eval/evaluate.h"
#include "eval/piece_square.h"

using board::Board;

int runEval(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools eval \"<FEN>\"\n");
        return 2;
    }
    board::PositionRecord* record = board::parseFen(argv[0]);
    if (!record) {
        std::fprintf(stderr, "not a FEN position: %s\n", argv[0]);
        return 1;
    }
    Board.loadRecord(*record);
    const int side = Board.sideToMove;
    eval::prepareRoot(side);
    eval::EvalTrace t = eval::traceEvaluation(side);

    static const char* const StatusNames[] = {"normal", "exact", "leaf"};
    const int pieces = side == board::White ? t.pieceTerms[0] - t.pieceTerms[1] : t.pieceTerms[1] - t.pieceTerms[0];
    const int parts = t.material + t.pawnStructure + t.passedPawns + t.kingShelter + t.bishopPair + pieces;
    std::printf("position             %s\n", board::formatFen(*record));
    std::printf("side to move         %s\n", side == board::White ? "white" : "black");
    std::printf("game phase           %d (0 opening .. 10 endgame)\n", t.phase);
    std::printf("all terms below are from the side to move's point of view\n");
    std::printf("material, placement  %6d  (includes 10 for the move)\n", t.material);
    std::printf("pawn structure       %6d\n", t.pawnStructure);
    std::printf("passed pawns         %6d\n", t.passedPawns);
    std::printf("king shelter         %6d\n", t.kingShelter);
    std::printf("bishop pair          %6d\n", t.bishopPair);
    std::printf("piece terms          %6d  (white %d, black %d)\n", pieces, t.pieceTerms[0], t.pieceTerms[1]);
    if (t.status == eval::EvalNormal) {
        std::printf("endgame corrections  %6d\n", t.score - parts);
    } else {
        std::printf("decided before the terms: the score stands alone\n");
    }
    std::printf("status               %s\n", StatusNames[t.status]);
    std::printf("score %d\n", t.score);
    return 0;
}
