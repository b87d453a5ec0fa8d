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

// For two squares on one rank, file or diagonal: the step from the first towards
// the second, and the slider that moves that way (Rook or Bishop); 0 otherwise.
struct Lines {
    int8_t step[64][64];
    int8_t slider[64][64];
};

constexpr Lines LineTables = [] {
    Lines lines{};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            const int df = (b & 7) - (a & 7), dr = (b >> 3) - (a >> 3);
            if (a == b || (df != 0 && dr != 0 && df != dr && df != -dr)) continue;
            lines.step[a][b] = int8_t(8 * ((dr > 0) - (dr < 0)) + ((df > 0) - (df < 0)));
            lines.slider[a][b] = int8_t(df == 0 || dr == 0 ? Rook : Bishop);
        }
    return lines;
}();

}  // namespace

// Asks each of side's men in turn: a handful of table reads per man, where
// walking the eight rays out of the square would read up to 27 squares.
bool isAttackedBy(const Position& pos, int side, int square) {
    const int enemyKing = pos.pieceList[1 - side][0];
    const int forward = side == White ? 8 : -8;
    for (int slot = pos.menCount[side]; slot >= 0; --slot) {
        const int from = pos.pieceList[side][slot];
        const int piece = pos.squares[from].piece;
        switch (piece) {
        case Pawn:
            if (square - from - forward == 1 || square - from - forward == -1) {
                if (distance[from][square] == 1) return true;
            }
            break;
        case Knight:
            if (knightPair[from][square]) return true;
            break;
        case King:
            if (distance[from][square] == 1) return true;
            break;
        default: {
            const int slider = LineTables.slider[from][square];
            if (slider == 0 || (piece != Queen && piece != slider)) break;
            const int step = LineTables.step[from][square];
            int t = from + step;
            while (t != square && (pos.squares[t].colour == NoColour || t == enemyKing)) t += step;
            if (t == square) return true;
        }
        }
    }
    return false;
}

int attackCount(const Position& pos, int side, int square) {
    const int enemyKing = pos.pieceList[1 - side][0];
    const int forward = side == White ? 8 : -8;
    int count = 0;
    for (int slot = pos.menCount[side]; slot >= 0; --slot) {
        const int from = pos.pieceList[side][slot];
        const int piece = pos.squares[from].piece;
        switch (piece) {
        case Pawn:
            if ((square - from - forward == 1 || square - from - forward == -1) && distance[from][square] == 1) ++count;
            break;
        case Knight:
            count += knightPair[from][square];
            break;
        case King:
            if (distance[from][square] == 1) ++count;
            break;
        default: {
            const int slider = LineTables.slider[from][square];
            if (slider == 0 || (piece != Queen && piece != slider)) break;
            // Nothing between: a direct attack. One man between: an x-ray when it
            // is ours and moves the same way.
            const int step = LineTables.step[from][square];
            int blocker = -1, t = from + step;
            for (; t != square; t += step) {
                if (pos.squares[t].colour == NoColour || t == enemyKing) continue;
                if (blocker >= 0) break;
                blocker = t;
            }
            if (t != square) break;
            if (blocker < 0) {
                ++count;
            } else {
                const SquareContent c = pos.squares[blocker];
                if (c.colour == side && (c.piece == Queen || (slider == Rook && c.piece == Rook))) ++count;
            }
        }
        }
    }
    return count;
}

bool inCheck(const Position& pos, int side) { return pos.attackMap[1 - side][pos.pieceList[side][0]] != 0; }

bool inDoubleCheck(const Position& pos, int side) {
    return (pos.attackMap[1 - side][pos.pieceList[side][0]] & AttackCountMask) >= 2;
}

}  // namespace board
