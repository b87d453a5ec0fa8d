// talvo-tools eval "<FEN>": the static evaluation of a position and where it comes
// from, so that a user can see why the engine likes or dislikes it.
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "base/platform.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "eval/evaluate.h"
#include "eval/piece_square.h"

#include "tool_arguments.h"

using board::Board;

namespace {

// talvo-tools eval --speed: positions from seeded random games, each prepared as a
// root and evaluated over and over; prints evaluations per second.
int measureSpeed() {
    std::mt19937 random(1);
    std::vector<board::PositionRecord> corpus;
    static board::ScoredMove list[256];
    for (int game = 0; game < 40; ++game) {
        board::PositionRecord record = *board::parseFen(board::StartFen);
        for (int ply = 0; ply < 60; ++ply) {
            Board.loadRecord(record);
            if (!eval::prepareRoot(Board, record.sideToMove)) break;
            const int n = board::generateLegalMoves(Board, list, record.sideToMove, 0);
            if (n == 0) break;
            const board::Move m = list[random() % n].move;
            corpus.push_back(record);
            // Play it on the record's letters through a fresh board round trip.
            board::makeMove(Board, record.sideToMove, 0, m);
            for (int sq = 0; sq < 64; ++sq) {
                static const char Letters[2][8] = {{' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '},
                                                   {' ', 'p', 'n', 'b', 'r', 'q', 'k', ' '}};
                const board::SquareContent c = Board.squares[sq];
                record.squares[sq] = c.colour == board::NoColour ? ' ' : Letters[c.colour][c.piece];
            }
            record.whiteKingside = Board.castleRights & 1;
            record.whiteQueenside = (Board.castleRights >> 1) & 1;
            record.blackKingside = (Board.castleRights >> 2) & 1;
            record.blackQueenside = (Board.castleRights >> 3) & 1;
            record.epSquare = Board.epSquare;
            record.sideToMove ^= 1;
        }
    }
    const int rounds = 200;
    uint64_t evaluations = 0;
    long long checksum = 0;
    uint32_t elapsed = 0;
    eval::EvalLine line;
    for (const board::PositionRecord& record : corpus) {
        Board.loadRecord(record);
        if (!eval::prepareRoot(Board, record.sideToMove)) continue;
        const uint32_t start = platform::tickMs();
        for (int i = 0; i < rounds; ++i) {
            int status;
            board::ScoredMove in{0, 0};
            checksum += eval::evaluate(Board, line, record.sideToMove, 0, 1, 0, &in, &status);
        }
        elapsed += platform::tickMs() - start;
        evaluations += rounds;
    }
    std::printf("%zu positions, %llu full evaluations in %u ms: %llu evaluations per second (checksum %lld)\n",
                corpus.size(), (unsigned long long)evaluations, elapsed,
                (unsigned long long)(elapsed ? evaluations * 1000 / elapsed : 0), checksum);
    return 0;
}

}  // namespace

int runEval(int argc, char** argv) {
    if (argc >= 1 && std::strcmp(argv[0], "--speed") == 0) return measureSpeed();
    int status = 0;
    board::PositionRecord* record =
        tool_arguments::positionArgument(argc, argv, 0, "talvo-tools eval \"<FEN>\" | --speed", &status);
    if (!record) return status;
    Board.loadRecord(*record);
    const int side = Board.sideToMove;
    if (!eval::prepareRoot(Board, side)) {
        std::fprintf(stderr, "the position needs one king a side and at most 16 men each\n");
        return 1;
    }
    eval::EvalTrace t = eval::traceEvaluation(Board, side);

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
