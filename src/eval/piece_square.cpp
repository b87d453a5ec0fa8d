#include "eval/piece_square.h"

#include <cstdlib>

#include "board/attacks.h"
#include "board/board.h"
#include "eval/pawns.h"

namespace eval {

using board::attackMap;
using board::distance;
using board::fileOf;
using board::menCount;
using board::pieceList;
using board::pieceSquare;
using board::rankOf;
using board::squares;
using eval::PawnEvaluator;

constinit int gamePhase = 0;

namespace {

// Tables from rank 1 (first row) to rank 8, files a to h, as White uses them.
// Black reads square 63 - s unless the table is the same from both sides.

// Kings hide in the corners while there is material (weight 10 - phase) and walk
// to the centre in the endgame (weight phase).
constexpr int KingOpening[64] = {
    -1,  0,   -4,  -10, -10, 0,   0,   -1,   //
    -2,  -4,  -8,  -12, -12, -8,  -4,  -2,   //
    -12, -16, -20, -24, -24, -20, -16, -12,  //
    -16, -20, -24, -30, -30, -24, -20, -16,  //
    -20, -24, -30, -38, -38, -30, -24, -20,  //
    -22, -30, -38, -45, -45, -38, -30, -22,  //
    -20, -24, -30, -38, -38, -30, -24, -20,  //
    -16, -20, -24, -30, -30, -24, -20, -16,
};
constexpr int KingEndgame[64] = {
    0,  10, 15, 20, 20, 15, 10, 0,   //
    10, 15, 20, 26, 26, 20, 15, 10,  //
    15, 20, 26, 34, 34, 26, 20, 15,  //
    20, 26, 34, 50, 50, 34, 26, 20,  //
    25, 34, 50, 60, 60, 50, 34, 25,  //
    20, 27, 36, 52, 52, 36, 27, 20,  //
    15, 20, 26, 34, 34, 26, 20, 15,  //
    8,  15, 20, 26, 26, 20, 15, 8,
};
// Weight phase; the same square for both colours.
constexpr int QueenTable[64] = {
    0, 0, 0,  2,  2,  0,  0, 0,  //
    0, 0, 4,  6,  6,  4,  0, 0,  //
    0, 4, 8,  14, 14, 8,  4, 0,  //
    0, 6, 14, 20, 20, 14, 6, 0,  //
    0, 6, 14, 20, 20, 14, 6, 0,  //
    0, 4, 8,  14, 14, 8,  4, 0,  //
    0, 0, 4,  6,  6,  4,  0, 0,  //
    0, 0, 0,  2,  2,  0,  0, 0,
};
// Weight 10 - phase: central files, and the seventh and eighth ranks.
constexpr int RookTable[64] = {
    0,  0,  2,  3,  3,  2,  0,  0,   //
    0,  0,  2,  3,  3,  2,  0,  0,   //
    0,  0,  2,  3,  3,  2,  0,  0,   //
    0,  0,  2,  3,  3,  2,  0,  0,   //
    0,  0,  2,  3,  3,  2,  0,  0,   //
    0,  0,  2,  3,  3,  2,  0,  0,   //
    10, 11, 12, 12, 12, 12, 11, 10,  //
    10, 10, 10, 10, 10, 10, 10, 10,
};
// Full weight; the same square for both colours.
constexpr int KnightTable[64] = {
    0,  4,  8,  10, 10, 8,  4,  0,   //
    4,  8,  16, 20, 20, 16, 8,  4,   //
    8,  16, 24, 28, 28, 24, 16, 8,   //
    10, 20, 28, 32, 32, 28, 20, 10,  //
    10, 20, 28, 32, 32, 28, 20, 10,  //
    8,  16, 24, 28, 28, 24, 16, 8,   //
    4,  8,  16, 20, 20, 16, 8,  4,   //
    0,  4,  8,  10, 10, 8,  4,  0,
};
constexpr int BishopTable[64] = {
    0, 0, 0, 0, 0, 0, 0, 0,  //
    0, 8, 4, 4, 4, 4, 8, 0,  //
    0, 4, 8, 8, 8, 8, 4, 0,  //
    0, 4, 8, 8, 8, 8, 4, 0,  //
    0, 4, 8, 8, 8, 8, 4, 0,  //
    0, 4, 8, 8, 8, 8, 4, 0,  //
    0, 8, 4, 4, 4, 4, 8, 0,  //
    0, 0, 0, 0, 0, 0, 0, 0,
};
constexpr int PawnTable[64] = {
    0,  0,  0,  0,  0,  0,  0,  0,   //
    4,  4,  4,  0,  0,  4,  4,  4,   //
    6,  8,  2,  10, 10, 2,  8,  6,   //
    6,  8,  12, 20, 20, 12, 8,  6,   //
    8,  12, 16, 25, 25, 16, 12, 8,   //
    12, 16, 24, 32, 32, 24, 16, 12,  //
    12, 16, 24, 32, 32, 24, 16, 12,  //
    0,  0,  0,  0,  0,  0,  0,  0,
};

constexpr int BaseValue[8] = {0, 100, 330, 350, 520, 1040, 1200, 0};

// Men of a side (king included) within king distance 2 of a square.
int menNear(int colour, int square) {
    int count = 0;
    for (int slot = 0; slot <= menCount[colour]; ++slot)
        if (distance[square][pieceList[colour][slot]] <= 2) ++count;
    return count;
}

// Where each pawn wants to go next (two squares ahead, one from its seventh rank),
// and how much the kings should care: five times as much for a free runner.
struct PawnTarget {
    int file;
    int rank;
    int weight;
};

int pawnTargets(PawnTarget* out) {
    int n = 0;
    for (int c = 0; c < 2; ++c)
        for (int slot = 1; slot <= menCount[c]; ++slot) {
            int p = pieceList[c][slot];
            if (squares[p].piece != board::Pawn) continue;
            int r = rankOf(p);
            int ahead = c == 0 ? (r == 6 ? 1 : 2) : (r == 1 ? -1 : -2);
            out[n++] = {fileOf(p), r + ahead, pawnRunState(p) == 2 ? 5 : 2};
        }
    return n;
}

}  // namespace

int pawnRunState(int q) {
    const board::SquareContent& man = squares[q];
    if (man.piece != board::Pawn) return 0;
    if (man.colour == board::White) {
        // The corner h8 is never looked at.
        for (int x = q + 8; x < 63; x += 8)
            if (squares[x].piece == board::Pawn) return 0;
        for (int x = q + 8; x < 63; x += 8)
            if (uint32_t(attackMap[board::Black][x]) >> 28) return 1;
        return 2;
    }
    for (int x = q - 8; x > 0; x -= 8)
        if (squares[x].piece == board::Pawn) return 0;
    for (int x = q - 8; x > 0; x -= 8)
        if (uint32_t(attackMap[board::White][x]) >> 28) return 1;
    return 2;
}

void buildPieceSquareTables() {
    const int phase = gamePhaseOf(board::nonPawnMaterial);
    const int C = 10 - phase;
    const int fast = phaseScaleFast(board::nonPawnMaterial);
    int(&white)[8][64] = pieceSquare[board::White];
    int(&black)[8][64] = pieceSquare[board::Black];

    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 8; ++k)
            for (int q = 0; q < 64; ++q) pieceSquare[c][k][q] = BaseValue[k];

    const int whiteKing = pieceList[board::White][0], blackKing = pieceList[board::Black][0];
    const int whiteKingFile = fileOf(whiteKing), blackKingFile = fileOf(blackKing);
    // Castled on opposite wings, the pawns in front of the enemy king become a storm.
    const bool oppositeWings = phase < 7 && ((whiteKingFile <= 2 && blackKingFile >= 5) ||
                                             (whiteKingFile >= 5 && blackKingFile <= 2));
    const int nearbyBonus = (phase + 2) / 3;
    PawnTarget targets[32];
    const int targetCount = pawnTargets(targets);
    const SquareSet whitePawns = board::pawnSet[board::White];
    const SquareSet blackPawns = board::pawnSet[board::Black];

    for (int q = 0; q < 64; ++q) {
        const int f = fileOf(q), r = rankOf(q);
        white[board::Bishop][q] += BishopTable[q];
        black[board::Bishop][q] += BishopTable[q];

        // Knights like the centre, the kings' neighbourhoods and enemy men close by.
        int knight = KnightTable[q] + 10 - distance[q][whiteKing] - distance[q][blackKing];
        white[board::Knight][q] += knight + nearbyBonus * menNear(board::Black, q);
        black[board::Knight][q] += knight + nearbyBonus * menNear(board::White, q);

        white[board::Pawn][q] += PawnTable[q];
        black[board::Pawn][q] += PawnTable[63 - q];
        // No friendly pawn on a neighbouring file: a pawn here would be isolated.
        if (!(whitePawns & PawnEvaluator.adjacentFilesMask[q])) white[board::Pawn][q] -= 6;
        if (!(blackPawns & PawnEvaluator.adjacentFilesMask[q])) black[board::Pawn][q] -= 6;

        if (oppositeWings) {
            if ((whiteKingFile <= 3 && f >= 5) || (whiteKingFile >= 4 && f <= 2))
                white[board::Pawn][q] += (r - 7) * C * 6 / 10 - C;
            if ((blackKingFile <= 3 && f >= 5) || (blackKingFile >= 4 && f <= 2))
                black[board::Pawn][q] += -C - r * C * 6 / 10;
        }

        // A free pawn pulls its own pawns' entries up along its path.
        int run = pawnRunState(q);
        if (run > 0) {
            if (squares[q].colour == board::White) {
                for (int k = 1; q + 8 * k < 63; ++k) white[board::Pawn][q + 8 * k] += (k * run * phase * 2) / 10;
            } else if (q > 8) {
                for (int k = 1; k <= (q - 1) / 8; ++k) black[board::Pawn][q - 8 * k] += (k * run * phase * 2) / 10;
            }
        }

        white[board::King][q] += (KingOpening[q] * C + KingEndgame[q] * phase) / 10;
        black[board::King][q] += (KingOpening[63 - q] * C + KingEndgame[63 - q] * phase) / 10;
        // As material comes off, kings belong in front of the pawns.
        int L = 0;
        for (int i = 0; i < targetCount; ++i)
            L += targets[i].weight * (std::abs(f - targets[i].file) + std::abs(r - targets[i].rank));
        white[board::King][q] -= fast * L / 10;
        black[board::King][q] -= fast * L / 10;

        white[board::Rook][q] += RookTable[q] * C / 10;
        black[board::Rook][q] += RookTable[63 - q] * C / 10;
        if (phase != 0) {
            white[board::Queen][q] += QueenTable[q] * phase / 10;
            black[board::Queen][q] += QueenTable[q] * phase / 10;
        }
    }
    // Codes 0 and 7 name no man.
    for (int c = 0; c < 2; ++c)
        for (int q = 0; q < 64; ++q) pieceSquare[c][0][q] = pieceSquare[c][7][q] = 0;
}

bool prepareRoot(int sideToMove) {
    // 1. The pawn evaluator starts over: no pawn sets, no pawn key, an empty cache.
    PawnEvaluator.resetPawnEvaluator();
    // 2. The board's derived state from the squares.
    const bool usable = board::rebuildDerivedState(sideToMove);

    // 3. Tables for this root, then the material sums they give.
    buildPieceSquareTables();
    board::materialSum[0] = board::materialSum[1] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].colour != board::NoColour)
            board::materialSum[squares[sq].colour] += pieceSquare[squares[sq].colour][squares[sq].piece][sq];
    return usable;
}

}  // namespace eval
