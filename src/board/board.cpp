#include "board/board.h"

#include <cstdlib>

#include "board/zobrist.h"

namespace board {

constinit const int movementIndex[16] = {0, 1, 2, 3, 4, 5, 6, 0, 0, 7, 2, 3, 4, 5, 6, 0};
constinit const int pieceValue[8] = {0, 100, 330, 350, 520, 1040, 1200, 100};
constinit const int isSlider[8] = {0, 0, 0, 1, 1, 1, 0, 0};
constinit uint8_t nextSquare[8][64][64]{};
constinit uint8_t nextDirection[8][64][64]{};
constinit int distance[64][64]{};
constinit int squareColour[64]{};
constinit int knightPair[64][64]{};

namespace {

// The fixed square masks, worked out from the coordinates at compile time.
constexpr std::array<SquareSet, 64> kingRings() {
    std::array<SquareSet, 64> ring{};
    for (int s = 0; s < 64; ++s)
        for (int t = 0; t < 64; ++t) {
            const int df = fileOf(t) - fileOf(s), dr = rankOf(t) - rankOf(s);
            if (t != s && df >= -1 && df <= 1 && dr >= -1 && dr <= 1) ring[s] |= squareBit(t);
        }
    return ring;
}
constexpr std::array<SquareSet, 64> fileSpans(int step) {
    std::array<SquareSet, 64> span{};
    for (int s = 0; s < 64; ++s)
        for (int t = s + step; t >= 0 && t < 64; t += step) span[s] |= squareBit(t);
    return span;
}

}  // namespace

constinit const std::array<SquareSet, 64> kingNeighbours = kingRings();
constinit const std::array<SquareSet, 64> frontSpanUp = fileSpans(8);
constinit const std::array<SquareSet, 64> frontSpanDown = fileSpans(-8);

namespace {

// A 10 x 12 mailbox: the two-column and two-row borders catch every step that
// leaves the board, knight jumps included.
constexpr int mailboxOf(int square) { return 21 + 10 * rankOf(square) + fileOf(square); }
constexpr int squareAt(int mailbox) {
    int row = mailbox / 10 - 2, column = mailbox % 10 - 1;
    return (row < 0 || row > 7 || column < 0 || column > 7) ? -1 : row * 8 + column;
}

constexpr int DirectionOffsets[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {10, 9, 11, 0, 0, 0, 0, 0},               // white pawn: push, then the two captures
    {8, -8, 12, -12, 19, -19, 21, -21},       // knight
    {9, 11, -9, -11, 0, 0, 0, 0},             // bishop
    {1, 10, -1, -10, 0, 0, 0, 0},             // rook
    {1, 10, -1, -10, 9, 11, -9, -11},         // queen
    {1, 10, -1, -10, 9, 11, -9, -11},         // king
    {-10, -9, -11, 0, 0, 0, 0, 0},            // black pawn
};
constexpr int StepLimits[8] = {0, 2, 1, 7, 7, 7, 1, 2};

// Piece on each square in the starting position; a pawn may step twice only from
// its home rank.
constexpr bool onPawnHomeRank(int square) { return rankOf(square) == 1 || rankOf(square) == 6; }

void buildRays(int m, int s) {
    int dest[8][8]{};
    int steps[8]{};
    int order[8]{};
    int orderLength = 0;
    for (int d = 0; d < 8; ++d) {
        int offset = DirectionOffsets[m][d];
        dest[d][0] = s;
        if (offset != 0) {
            int p = mailboxOf(s);
            for (int k = 0; k < StepLimits[m]; ++k) {
                bool pawn = m == 1 || m == 7;
                if (pawn && k > 0 && (d > 0 || !onPawnHomeRank(s))) break;
                p += offset;
                int t = squareAt(p);
                if (t < 0) break;
                dest[d][steps[d]++] = t;
            }
        }
        // Directions with steps keep their table order ahead of the empty ones.
        int at = orderLength;
        while (steps[d] > 0 && at > 0 && steps[order[at - 1]] == 0) --at;
        for (int j = orderLength; j > at; --j) order[j] = order[j - 1];
        order[at] = d;
        ++orderLength;
    }

    if (m == 1 || m == 7) {
        int p = s;
        for (int k = 0; k < steps[0]; ++k) {
            nextSquare[m][s][p] = uint8_t(dest[0][k]);
            p = dest[0][k];
        }
        p = s;
        for (int d = 1; d <= 2; ++d) {
            nextDirection[m][s][p] = uint8_t(dest[d][0]);
            p = dest[d][0];
        }
        return;
    }

    nextDirection[m][s][s] = uint8_t(dest[order[0]][0]);
    int p = s;
    for (int j = 0; j < 8; ++j) {
        for (int k = 0; k < steps[order[j]]; ++k) {
            int q = dest[order[j]][k];
            nextSquare[m][s][p] = uint8_t(q);
            p = q;
            if (j < 7) nextDirection[m][s][q] = uint8_t(dest[order[j + 1]][0]);
        }
    }
}

}  // namespace

void initTables() {
    initKeyTables();
    for (int m = 0; m < 8; ++m)
        for (int s = 0; s < 64; ++s)
            for (int t = 0; t < 64; ++t) nextSquare[m][s][t] = nextDirection[m][s][t] = uint8_t(s);
    for (int m = 1; m < 8; ++m)
        for (int s = 0; s < 64; ++s) buildRays(m, s);

    for (int a = 0; a < 64; ++a) {
        squareColour[a] = (fileOf(a) + rankOf(a)) % 2 == 0 ? 1 : 0;
        for (int b = 0; b < 64; ++b) {
            int df = std::abs(fileOf(a) - fileOf(b)), dr = std::abs(rankOf(a) - rankOf(b));
            distance[a][b] = df > dr ? df : dr;
        }
    }
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            knightPair[a][b] = (distance[a][b] == 2 && squareColour[a] != squareColour[b]) ? 1 : 0;
}

}  // namespace board
