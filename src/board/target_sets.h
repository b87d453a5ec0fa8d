// Square sets for the move generators, worked out at compile time: the rays of the
// eight line directions, the knight's and the king's targets, the pawn captures.
//
// The generators list moves in the order the ray tables of board.h walk them, and
// the search's pick of equal scores depends on that order. So the directions here
// are numbered in the ray tables' order, and the knight's and the king's targets
// are also kept as lists in that order: a set tells cheaply whether there is
// anything to do, the list says in which order to do it.
#pragma once
#include <cstdint>

#include "board/types.h"

namespace board::targets {

// The line directions in the ray tables' order: the rook's four (east, north,
// west, south), then the diagonals (north-west, north-east, south-east,
// south-west). A queen and a king go all eight ways in this order, a rook the
// first four, a bishop the last four.
constexpr int RookDirections = 0, BishopDirections = 4;
constexpr int FileSteps[8] = {1, 0, -1, 0, -1, 1, 1, -1};
constexpr int RankSteps[8] = {0, 1, 0, -1, 1, 1, -1, -1};
// Does the square number grow along direction d? Then the nearest square of a ray
// is its lowest set bit, otherwise its highest.
constexpr bool ascending(int d) { return 8 * RankSteps[d] + FileSteps[d] > 0; }

// The knight's jumps in the ray tables' order: +6, -6, +10, -10, +15, -15, +17, -17.
constexpr int KnightFiles[8] = {-2, 2, 2, -2, -1, 1, 1, -1};
constexpr int KnightRanks[8] = {1, -1, 1, -1, 2, -2, 2, -2};

// Targets of a man on one square, in walking order.
struct OrderedTargets {
    uint8_t square[8];
    int count;
};

struct Tables {
    SquareSet ray[64][8];  // by square and direction, the square itself left out
    SquareSet knight[64];
    SquareSet king[64];
    SquareSet rookLines[64];    // the four rays of a rook, together
    SquareSet bishopLines[64];  // the four of a bishop
    SquareSet pawnCaptures[2][64];  // by colour: the squares a pawn there takes on
    OrderedTargets knightOrder[64];
    OrderedTargets kingOrder[64];
};

namespace detail {
constexpr bool onBoard(int file, int rank) { return file >= 0 && file <= 7 && rank >= 0 && rank <= 7; }

constexpr Tables build() {
    Tables t{};
    for (int square = 0; square < 64; ++square) {
        const int file = fileOf(square), rank = rankOf(square);
        for (int d = 0; d < 8; ++d) {
            for (int f = file + FileSteps[d], r = rank + RankSteps[d]; onBoard(f, r);
                 f += FileSteps[d], r += RankSteps[d])
                t.ray[square][d] |= squareBit(8 * r + f);
            (d < BishopDirections ? t.rookLines : t.bishopLines)[square] |= t.ray[square][d];
            const int f = file + FileSteps[d], r = rank + RankSteps[d];
            if (onBoard(f, r)) {
                t.king[square] |= squareBit(8 * r + f);
                t.kingOrder[square].square[t.kingOrder[square].count++] = uint8_t(8 * r + f);
            }
        }
        for (int i = 0; i < 8; ++i) {
            const int f = file + KnightFiles[i], r = rank + KnightRanks[i];
            if (!onBoard(f, r)) continue;
            t.knight[square] |= squareBit(8 * r + f);
            t.knightOrder[square].square[t.knightOrder[square].count++] = uint8_t(8 * r + f);
        }
        // A pawn takes one rank ahead as its colour sees it, towards the a-file
        // first for White and towards the h-file first for Black, so that the
        // square numbers go up for White and down for Black.
        for (int colour : {White, Black}) {
            const int ahead = colour == White ? rank + 1 : rank - 1;
            for (int df : {-1, 1})
                if (onBoard(file + df, ahead)) t.pawnCaptures[colour][square] |= squareBit(8 * ahead + file + df);
        }
    }
    return t;
}
}  // namespace detail

inline constexpr Tables Sets = detail::build();
static_assert(Sets.ray[63][0] == 0 && Sets.ray[63][1] == 0 && Sets.ray[63][5] == 0 && Sets.ray[63][4] == 0);
static_assert(Sets.ray[0][2] == 0 && Sets.ray[0][3] == 0 && Sets.ray[0][6] == 0 && Sets.ray[0][7] == 0);

// The nearest square of a non-empty set along direction d.
template <int D>
inline int nearest(SquareSet set) {
    if constexpr (ascending(D)) return __builtin_ctzll(set);
    else return 63 - __builtin_clzll(set);
}

// The nearest square of a set along D, or, when the set is empty, a square whose
// ray along D is empty (h8 for the ascending directions, a1 for the others): the
// caller needs no test for an empty ray.
template <int D>
inline int nearestOrEnd(SquareSet set) {
    if constexpr (ascending(D)) return __builtin_ctzll(set | squareBit(63));
    else return 63 - __builtin_clzll(set | squareBit(0));
}

// The squares along D from square up to and including the first man of occupied;
// the whole ray when it holds none.
template <int D>
inline SquareSet reach(int square, SquareSet occupied) {
    const SquareSet ray = Sets.ray[square][D];
    return ray & ~Sets.ray[nearestOrEnd<D>(ray & occupied)][D];
}

// Calls visit(square) for every square of the set, lowest square first when
// Ascending, highest first otherwise.
template <bool Ascending, typename Visit>
inline void forEachIn(SquareSet set, Visit&& visit) {
    while (set) {
        const int square = Ascending ? __builtin_ctzll(set) : 63 - __builtin_clzll(set);
        set ^= squareBit(square);
        visit(square);
    }
}

// The same, nearest to the ray's origin first along direction D.
template <int D, typename Visit>
inline void forEachAlong(SquareSet set, Visit&& visit) {
    forEachIn<ascending(D)>(set, visit);
}

}  // namespace board::targets
