#include "board/board.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/zobrist.h"

namespace board {

constinit SquareContent squares[64]{};
constinit int castleRights = 0;
constinit int epSquare = 0;
constinit int halfmoveClock = 0;
constinit int castled[2]{};
constinit int pieceList[2][16]{};
constinit int menCount[2]{};
constinit int pieceCount[16]{};
constinit int nonPawnMaterial = 0;
constinit int materialSum[2]{};
constinit HashKey positionKey{};
constinit int attackMap[2][64]{};
constinit SquareSet pawnSet[2]{};
constinit uint32_t pawnKey = 0;
constinit SquareSet allPawns = 0;
constinit int pieceSquare[2][8][64]{};

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

bool rebuildDerivedState(int sideToMove) {
    bool usable = true;
    int kings[2] = {0, 0};

    // 1-2. Lists, counts and material, men in square order behind the king.
    menCount[0] = menCount[1] = 0;
    std::memset(pieceCount, 0, sizeof pieceCount);
    nonPawnMaterial = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const SquareContent& man = squares[sq];
        if (man.colour == NoColour) continue;
        const int c = man.colour, k = man.piece;
        ++pieceCount[k + 8 * c];
        if (k == King) {
            if (kings[c]++ == 0) pieceList[c][0] = sq;
            continue;
        }
        if (k != Pawn) nonPawnMaterial += pieceValue[k];
        // A hand-made position may hold more men than a list has slots.
        if (menCount[c] == 15) {
            usable = false;
            continue;
        }
        pieceList[c][++menCount[c]] = sq;
    }
    if (kings[0] != 1 || kings[1] != 1) usable = false;

    // 3. Pawn sets and pawn key.
    pawnSet[0] = pawnSet[1] = 0;
    pawnKey = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].piece == Pawn && squares[sq].colour != NoColour) {
            const int c = squares[sq].colour;
            pawnSet[c] |= squareBit(sq);
            pawnKey ^= pawnKeys[c][sq];
        }

    // 4. Attack maps; they need both kings on the board.
    if (usable) {
        computeAttackMap(White, attackMap[White]);
        computeAttackMap(Black, attackMap[Black]);
    } else {
        std::memset(attackMap, 0, sizeof attackMap);
    }

    // 5. Material sums with the tables as they stand; the root preparation builds
    // the tables of this root and sums again.
    materialSum[0] = materialSum[1] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].colour != NoColour)
            materialSum[squares[sq].colour] += pieceSquare[squares[sq].colour][squares[sq].piece][sq];

    // 6. The key from scratch, and no ply played yet.
    positionKey = computeHashKey(sideToMove);
    for (PlySlot& slot : plyState) slot = PlySlot{};
    return usable;
}

BoardState::BoardState() { initTables(); }

void BoardState::loadRecord(const PositionRecord& record) {
    for (int n = 0; n < 64; ++n) {
        SquareContent content{Empty, NoColour};
        switch (record.squares[n]) {
            case 'P': content = {Pawn, White}; break;
            case 'N': content = {Knight, White}; break;
            case 'B': content = {Bishop, White}; break;
            case 'R': content = {Rook, White}; break;
            case 'Q': content = {Queen, White}; break;
            case 'K': content = {King, White}; break;
            case 'p': content = {Pawn, Black}; break;
            case 'n': content = {Knight, Black}; break;
            case 'b': content = {Bishop, Black}; break;
            case 'r': content = {Rook, Black}; break;
            case 'q': content = {Queen, Black}; break;
            case 'k': content = {King, Black}; break;
            default: break;
        }
        squares[n] = content;
    }
    castleRights = (record.whiteKingside ? 1 : 0) | (record.whiteQueenside ? 2 : 0) |
                   (record.blackKingside ? 4 : 0) | (record.blackQueenside ? 8 : 0);
    castled[White] = record.whiteCastled;
    castled[Black] = record.blackCastled;
    // Only ranks 3 to 6 can hold a real target; anything else would index the key
    // tables out of range, so it is read as "none".
    epSquare = (record.epSquare >= 16 && record.epSquare <= 47) ? record.epSquare : 0;
    halfmoveClock = record.halfmoveClock;
    sideToMove = record.sideToMove ? 1 : 0;
}

HashKey BoardState::hashKey() const { return computeHashKey(sideToMove); }

}  // namespace board
