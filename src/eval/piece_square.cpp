#include "eval/piece_square.h"

#include <cstdlib>

#include "base/assert.h"
#include "board/attacks.h"
#include "board/board.h"
#include "eval/pawns.h"

namespace eval {

using board::distance;
using board::fileOf;
using board::Position;
using board::rankOf;
using eval::PawnEvaluator;

thread_local constinit int gamePhase = 0;

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
int menNear(const Position& pos, int colour, int square) {
    int count = 0;
    for (int slot = 0; slot <= pos.menCount[colour]; ++slot)
        if (distance[square][pos.pieceList[colour][slot]] <= 2) ++count;
    return count;
}

// The squares ahead of a pawn of colour Us, up to its promotion square. The
// corner h8 (a1 for Black) is never looked at, so White's h-pawn and Black's
// a-pawn stop one square short. Deliberately kept: the scores depend on it.
template <int Us>
bool onPawnPath(int square) {
    return Us == board::White ? square < 63 : square > 0;
}

template <int Us>
int runStateOf(const Position& pos, int q) {
    constexpr int Up = Us == board::White ? 8 : -8;
    for (int x = q + Up; onPawnPath<Us>(x); x += Up)
        if (pos.squares[x].piece == board::Pawn) return 0;
    for (int x = q + Up; onPawnPath<Us>(x); x += Up)
        if (uint32_t(pos.attackMapOf(1 - Us)[x]) >> 28) return 1;
    return 2;
}

// Where each pawn wants to go next (two squares ahead, one from its seventh rank),
// and how much the kings should care: five times as much for a free runner.
struct PawnTarget {
    int file;
    int rank;
    int weight;
};

int pawnTargets(const Position& pos, PawnTarget* out) {
    int n = 0;
    for (int c = 0; c < 2; ++c)
        for (int slot = 1; slot <= pos.menCount[c]; ++slot) {
            int p = pos.pieceList[c][slot];
            if (pos.squares[p].piece != board::Pawn) continue;
            int r = rankOf(p);
            int ahead = c == 0 ? (r == 6 ? 1 : 2) : (r == 1 ? -1 : -2);
            out[n++] = {fileOf(p), r + ahead, pawnRunState(pos, p) == 2 ? 5 : 2};
        }
    return n;
}

// What the tables of both colours take from this root.
struct RootShape {
    int phase;          // 0 opening .. 10 endgame
    int openingWeight;  // 10 - phase
    int nearbyBonus;    // per enemy man near a knight's square
    bool oppositeWings;
    int kingFile[2];
};

// Adds colour Us's terms for square q to its tables. Tables marked "as White uses
// them" are read on the square turned round (63 - q) for Black. knight and
// kingPull are the same for both colours; run is the run state of a pawn of Us on
// q (0 when none stands there).
template <int Us>
void addSquareTerms(Position& pos, const RootShape& root, int q, int knight, int kingPull, int run) {
    constexpr int Them = 1 - Us;
    constexpr int Up = Us == board::White ? 8 : -8;
    int(&table)[8][64] = pos.pieceSquare[Us];
    const int turned = Us == board::White ? q : 63 - q;
    const int file = fileOf(q), rank = rankOf(turned);
    const int opening = root.openingWeight, phase = root.phase;

    table[board::Bishop][q] += BishopTable[q];
    // Knights like the centre, the kings' neighbourhoods and enemy men close by.
    table[board::Knight][q] += knight + root.nearbyBonus * menNear(pos, Them, q);

    table[board::Pawn][q] += PawnTable[turned];
    // No friendly pawn on a neighbouring file: a pawn here would be isolated.
    if (!(pos.pieceSet[Us][board::Pawn] & pawnEvaluator().adjacentFilesMask[q])) table[board::Pawn][q] -= 6;
    // Castled on opposite wings, the pawns in front of the enemy king become a storm.
    const int kingFile = root.kingFile[Us];
    if (root.oppositeWings && ((kingFile <= 3 && file >= 5) || (kingFile >= 4 && file <= 2)))
        table[board::Pawn][q] += (rank - 7) * opening * 6 / 10 - opening;
    // A free pawn pulls its own pawns' entries up along its path.
    if (run > 0)
        for (int k = 1, x = q + Up; onPawnPath<Us>(x); ++k, x += Up)
            table[board::Pawn][x] += (k * run * phase * 2) / 10;

    table[board::King][q] += (KingOpening[turned] * opening + KingEndgame[turned] * phase) / 10;
    table[board::King][q] -= kingPull;
    table[board::Rook][q] += RookTable[turned] * opening / 10;
    if (phase != 0) table[board::Queen][q] += QueenTable[q] * phase / 10;
}

}  // namespace

int pawnRunState(const Position& pos, int q) {
    const board::SquareContent& man = pos.squares[q];
    if (man.piece != board::Pawn) return 0;
    return man.colour == board::White ? runStateOf<board::White>(pos, q) : runStateOf<board::Black>(pos, q);
}

void buildPieceSquareTables(Position& pos) {
    const int phase = gamePhaseOf(pos.nonPawnMaterial);
    const int fast = phaseScaleFast(pos.nonPawnMaterial);

    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 8; ++k)
            for (int q = 0; q < 64; ++q) pos.pieceSquare[c][k][q] = BaseValue[k];

    const int whiteKing = pos.pieceList[board::White][0], blackKing = pos.pieceList[board::Black][0];
    RootShape root{phase, 10 - phase, (phase + 2) / 3, false, {fileOf(whiteKing), fileOf(blackKing)}};
    const int whiteKingFile = root.kingFile[board::White], blackKingFile = root.kingFile[board::Black];
    root.oppositeWings = phase < 7 && ((whiteKingFile <= 2 && blackKingFile >= 5) ||
                                       (whiteKingFile >= 5 && blackKingFile <= 2));
    PawnTarget targets[32];
    const int targetCount = pawnTargets(pos, targets);

    for (int q = 0; q < 64; ++q) {
        const int f = fileOf(q), r = rankOf(q);
        const int knight = KnightTable[q] + 10 - distance[q][whiteKing] - distance[q][blackKing];
        // As material comes off, kings belong in front of the pawns.
        int distanceToPawns = 0;
        for (int i = 0; i < targetCount; ++i)
            distanceToPawns +=
                targets[i].weight * (std::abs(f - targets[i].file) + std::abs(r - targets[i].rank));
        const int kingPull = fast * distanceToPawns / 10;
        const int run = pawnRunState(pos, q);
        addSquareTerms<board::White>(pos, root, q, knight, kingPull,
                                     pos.squares[q].colour == board::White ? run : 0);
        addSquareTerms<board::Black>(pos, root, q, knight, kingPull,
                                     pos.squares[q].colour == board::Black ? run : 0);
    }
    // Codes 0 and 7 name no man.
    for (int c = 0; c < 2; ++c)
        for (int q = 0; q < 64; ++q) pos.pieceSquare[c][0][q] = pos.pieceSquare[c][7][q] = 0;
}

bool prepareRoot(Position& pos, int sideToMove) {
    // 1. The pawn evaluator starts over with an empty cache, and the position's
    // union of the pawn sets waits for the first probe.
    pawnEvaluator().resetPawnEvaluator();
    pos.allPawns = 0;
    // 2. The position's derived state from the squares.
    const bool usable = pos.rebuildDerivedState(sideToMove);

    // 3. Tables for this root, then the material sums they give.
    buildPieceSquareTables(pos);
    pos.materialSum[0] = pos.materialSum[1] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (pos.squares[sq].colour != board::NoColour)
            pos.materialSum[pos.squares[sq].colour] +=
                pos.pieceSquare[pos.squares[sq].colour][pos.squares[sq].piece][sq];
    TALVO_ASSERT(!usable || pos.isConsistent());
    return usable;
}

}  // namespace eval
