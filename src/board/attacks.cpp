#include "board/attacks.h"

#include "board/board.h"

namespace board {

constinit const int attackWeight[8] = {0, 0x10000000, 0x1000000, 0x100000, 0x10000, 0x1000, 0x100, 0};

namespace {

// Walks the rays of one slider. An own man that moves the same way (a rook or queen
// on a file or rank, a queen on a diagonal) lets the attack x-ray through it: each
// square beyond it gains 1 on the count only, up to and including the next man.
void walkSliderRays(const Position& pos, int side, int from, int m, int increment, int* map, bool rookRays) {
    const uint8_t* next = nextSquare[m][from];
    const uint8_t* skip = nextDirection[m][from];
    int t = next[from];
    while (t != from) {
        map[t] += increment;
        const SquareContent& c = pos.squares[t];
        if (c.colour == NoColour) {
            t = next[t];
            continue;
        }
        bool xray = c.colour == side && (c.piece == Queen || (rookRays && c.piece == Rook));
        if (!xray || next[t] == skip[t]) {
            t = skip[t];
            continue;
        }
        int u = next[t];
        for (;;) {
            map[u] += 1;
            if (pos.squares[u].colour != NoColour || next[u] == skip[u]) break;
            u = next[u];
        }
        t = skip[u];
    }
}

}  // namespace

void computeAttackMap(Position& pos, int side, int* map) {
    int other = 1 - side;
    for (int i = 0; i < 64; ++i) map[i] = 0;
    int enemyKing = pos.pieceList[other][0];
    pos.squares[enemyKing].colour = NoColour;

    for (int slot = pos.menCount[side]; slot >= 0; --slot) {
        int from = pos.pieceList[side][slot];
        int piece = pos.squares[from].piece;
        int increment = attackWeight[piece] + 1;
        if (piece == Rook || piece == Queen) walkSliderRays(pos, side, from, Rook, increment, map, true);
        if (piece == Bishop || piece == Queen) walkSliderRays(pos, side, from, Bishop, increment, map, false);
        if (piece == Pawn || piece == Knight || piece == King) {
            int m = movementIndex[piece + 8 * side];
            const uint8_t* skip = nextDirection[m][from];
            for (int t = skip[from]; t != from; t = skip[t]) map[t] += increment;
        }
    }

    // A single slider checking through another of its own kind would read as two
    // attackers on the king; only the front one attacks.
    int e = map[enemyKing];
    int kinds = e & ~AttackCountMask;
    if ((e & AttackCountMask) > 1 && (kinds == 0x100000 || kinds == 0x10000 || kinds == 0x1000))
        map[enemyKing] = kinds | 1;

    pos.squares[enemyKing].colour = uint8_t(other);
}

void buildAttackMaps(Position& pos) {
    computeAttackMap(pos, White, pos.attackMap[White]);
    computeAttackMap(pos, Black, pos.attackMap[Black]);
    pos.attackMapsOutOfDate = false;
}

bool attackMapsAreCurrent(Position& pos) {
    int fresh[64];
    for (int side : {White, Black}) {
        computeAttackMap(pos, side, fresh);
        for (int square = 0; square < 64; ++square)
            if (fresh[square] != pos.attackMap[side][square]) return false;
    }
    return true;
}

namespace {

// The eight line directions as square steps, the rook's four first.
constexpr int LineSteps[8] = {1, -1, 8, -8, 9, 7, -7, -9};
constexpr int FileSteps[8] = {1, -1, 0, 0, 1, -1, 1, -1};
constexpr int RankSteps[8] = {0, 0, 1, -1, 1, 1, -1, -1};

constexpr bool onBoard(int file, int rank) { return file >= 0 && file <= 7 && rank >= 0 && rank <= 7; }

// Square sets by square: each line direction's ray (the square left out), the
// knight's jumps, and the squares from which a pawn of each colour attacks it.
struct AttackSets {
    SquareSet ray[64][8];
    SquareSet knight[64];
    SquareSet pawnAttackers[2][64];
};

constexpr AttackSets Sets = [] {
    AttackSets sets{};
    constexpr int KnightFiles[8] = {1, 2, 2, 1, -1, -2, -2, -1}, KnightRanks[8] = {2, 1, -1, -2, -2, -1, 1, 2};
    for (int square = 0; square < 64; ++square) {
        const int file = square & 7, rank = square >> 3;
        for (int d = 0; d < 8; ++d)
            for (int f = file + FileSteps[d], r = rank + RankSteps[d]; onBoard(f, r);
                 f += FileSteps[d], r += RankSteps[d])
                sets.ray[square][d] |= squareBit(8 * r + f);
        for (int i = 0; i < 8; ++i)
            if (onBoard(file + KnightFiles[i], rank + KnightRanks[i]))
                sets.knight[square] |= squareBit(8 * (rank + KnightRanks[i]) + file + KnightFiles[i]);
        // A pawn on square attacks one rank ahead of it, as its colour sees it.
        for (int colour : {White, Black}) {
            const int ahead = colour == White ? rank + 1 : rank - 1;
            for (int df : {-1, 1})
                if (onBoard(file + df, ahead)) sets.pawnAttackers[colour][8 * ahead + file + df] |= squareBit(square);
        }
    }
    return sets;
}();

// The first man along direction d from square, or -1: the lowest set bit on rays
// with a positive step, the highest on the others.
inline int firstMan(int square, int d, SquareSet occupied) {
    const SquareSet onRay = Sets.ray[square][d] & occupied;
    if (!onRay) return -1;
    return LineSteps[d] > 0 ? __builtin_ctzll(onRay) : 63 - __builtin_clzll(onRay);
}

// The slider kind that moves along direction d.
constexpr int lineKind(int d) { return d < 4 ? Rook : Bishop; }

bool movesAlong(int piece, int d) { return piece == Queen || piece == lineKind(d); }

// Does an attack along d x-ray through a man of this kind? A rook or queen on a
// file or rank, a queen on a diagonal.
bool letsThrough(int piece, int d) { return piece == Queen || (d < 4 && piece == Rook); }

int knightsAttacking(const Position& pos, int side, int square) {
    int count = 0;
    for (SquareSet k = Sets.knight[square] & pos.occupiedBy[side]; k; k &= k - 1)
        count += pos.squares[__builtin_ctzll(k)].piece == Knight;
    return count;
}

// Every man but the enemy king of side, which its maps see through.
SquareSet seenMen(const Position& pos, int side) {
    return (pos.occupiedBy[White] | pos.occupiedBy[Black]) & ~squareBit(pos.pieceList[1 - side][0]);
}

}  // namespace

// The square looks out along its lines for the nearest man: side attacks it when
// that man is side's and moves along the line.
bool isAttackedBy(const Position& pos, int side, int square) {
    if (Sets.pawnAttackers[side][square] & pos.pawnSet[side]) return true;
    if (distance[pos.pieceList[side][0]][square] == 1) return true;
    if (knightsAttacking(pos, side, square)) return true;
    const SquareSet occupied = seenMen(pos, side), mine = pos.occupiedBy[side];
    for (int d = 0; d < 8; ++d) {
        const int man = firstMan(square, d, occupied);
        if (man >= 0 && (mine & squareBit(man)) && movesAlong(pos.squares[man].piece, d)) return true;
    }
    return false;
}

int attackCount(const Position& pos, int side, int square) {
    int count = __builtin_popcountll(Sets.pawnAttackers[side][square] & pos.pawnSet[side]);
    if (distance[pos.pieceList[side][0]][square] == 1) ++count;
    count += knightsAttacking(pos, side, square);
    const SquareSet occupied = seenMen(pos, side), mine = pos.occupiedBy[side];
    for (int d = 0; d < 8; ++d) {
        const int man = firstMan(square, d, occupied);
        if (man < 0 || !(mine & squareBit(man)) || !movesAlong(pos.squares[man].piece, d)) continue;
        ++count;
        // One of ours behind it that moves the same way x-rays through it.
        if (!letsThrough(pos.squares[man].piece, d)) continue;
        const int behind = firstMan(man, d, occupied);
        if (behind >= 0 && (mine & squareBit(behind)) && movesAlong(pos.squares[behind].piece, d)) ++count;
    }
    return count;
}

bool inCheck(const Position& pos, int side) { return pos.attackMap[1 - side][pos.pieceList[side][0]] != 0; }

bool inDoubleCheck(const Position& pos, int side) {
    return (pos.attackMap[1 - side][pos.pieceList[side][0]] & AttackCountMask) >= 2;
}

}  // namespace board
