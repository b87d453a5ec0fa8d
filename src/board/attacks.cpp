#include "board/attacks.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "board/board.h"
#include "board/target_sets.h"

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

// A single slider checking through another of its own kind would read as two
// attackers on the king; only the front one attacks.
int foldKingWord(int word) {
    const int kinds = word & ~AttackCountMask;
    if ((word & AttackCountMask) > 1 && (kinds == 0x100000 || kinds == 0x10000 || kinds == 0x1000))
        return kinds | 1;
    return word;
}

// The map as the men's attacks add up, before the enemy king's word is folded.
void sumAttacks(Position& pos, int side, int* map) {
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
    pos.squares[enemyKing].colour = uint8_t(other);
}

}  // namespace

void computeAttackMap(Position& pos, int side, int* map) {
    sumAttacks(pos, side, map);
    int& king = map[pos.pieceList[1 - side][0]];
    king = foldKingWord(king);
}

void buildAttackMaps(Position& pos) {
    for (int side : {White, Black}) {
        int* map = pos.attackMapOf(side);
        sumAttacks(pos, side, map);
        int& king = map[pos.pieceList[1 - side][0]];
        pos.unfoldedKingWord[pos.mapLevel][side] = king;
        king = foldKingWord(king);
    }
    pos.mapsCurrent[pos.mapLevel] = true;
}

bool attackMapsAreCurrent(Position& pos) {
    int fresh[64];
    for (int side : {White, Black}) {
        computeAttackMap(pos, side, fresh);
        for (int square = 0; square < 64; ++square)
            if (fresh[square] != pos.attackMapOf(side)[square]) return false;
    }
    return true;
}

namespace {

// The line directions and rays are those of the move generators (board/target_sets.h):
// the rook's four first, then the diagonals. What only the attack code needs is
// worked out here from their rays: the squares strictly between two on one line.
using targets::ascending;

struct AttackSets {
    SquareSet between[64][64];
    // Bit d when the second square lies on the first one's ray d.
    uint8_t directionTo[64][64];
};

constexpr AttackSets Lines = [] {
    AttackSets sets{};
    const auto& ray = targets::Sets.ray;
    for (int square = 0; square < 64; ++square)
        for (int d = 0; d < 8; ++d)
            for (SquareSet far = ray[square][d]; far; far &= far - 1) {
                const int target = __builtin_ctzll(far);
                sets.between[square][target] = ray[square][d] & ~ray[target][d] & ~squareBit(target);
                sets.directionTo[square][target] = uint8_t(1u << d);
            }
    return sets;
}();

// The slider kind that moves along direction d.
constexpr int lineKind(int d) { return d < 4 ? Rook : Bishop; }

int knightsAttacking(const Position& pos, int side, int square) {
    return __builtin_popcountll(targets::Sets.knight[square] & pos.pieceSet[side][Knight]);
}

// The men of side that move along direction d: its queens and the rooks or the
// bishops.
SquareSet slidersAlong(const Position& pos, int side, int d) {
    return pos.pieceSet[side][Queen] | pos.pieceSet[side][lineKind(d)];
}

// Every man but the enemy king of side, which its maps see through.
SquareSet seenMen(const Position& pos, int side) {
    return (pos.occupiedBy[White] | pos.occupiedBy[Black]) & ~squareBit(pos.pieceList[1 - side][0]);
}

}  // namespace

// ---- Maps from the level below ------------------------------------------------

namespace {

// A square the move changed and what stood on it before.
struct ChangedSquare {
    int square;
    SquareContent before;
};

// The squares a move changed, with their contents before it: where the mover
// stood, where it went, the pawn taken en passant, the castling rook's two squares.
// They join the n squares listed already (from earlier moves) unless listed there,
// so that each square keeps its contents before the first of the moves.
int addChangedSquares(const PlySlot& slot, ChangedSquare* out, int n) {
    const auto note = [&](int square, SquareContent before) {
        for (int i = 0; i < n; ++i)
            if (out[i].square == square) return;
        out[n++] = {square, before};
    };
    const Move move = slot.move;
    const int from = moveFrom(move), to = moveTo(move);
    const uint8_t s = slot.mover.colour, o = uint8_t(1 - s);
    note(from, slot.mover);
    const bool capture = (move & MoveCapture) != 0, onTo = capture && slot.captureSquare == to;
    note(to, onTo ? SquareContent{uint8_t(slot.capturedPiece), o} : SquareContent{Empty, NoColour});
    if (capture && !onTo) note(slot.captureSquare, {Pawn, o});
    if (move & MoveCastle) {
        note(to > from ? to + 1 : to - 2, {Rook, s});
        note(to > from ? from + 1 : from - 1, {Empty, NoColour});
    }
    return n;
}

// The board as one side's map sees it, before or after the move: the men it
// sees (never the enemy king), and the side's men that an attack along a file or
// rank (through[0]: rooks and queens) or a diagonal (through[1]: queens) x-rays.
struct MapView {
    SquareSet occupied;
    SquareSet through[2];
};

// The view of side's map on the board as it stands, less the enemy king on king.
MapView viewNow(const Position& pos, int side, SquareSet occupied, int king) {
    const SquareSet queens = pos.pieceSet[side][Queen];
    return {occupied & ~squareBit(king), {queens | pos.pieceSet[side][Rook], queens}};
}

// The same before the moves: the changed squares hold what they held then.
MapView viewBefore(const Position& pos, int side, SquareSet occupied, int king, const ChangedSquare* changed, int n) {
    SquareSet rooks = pos.pieceSet[side][Rook], queens = pos.pieceSet[side][Queen];
    for (int i = 0; i < n; ++i) {
        const SquareSet bit = squareBit(changed[i].square);
        const bool ours = changed[i].before.colour == side;
        rooks = (rooks & ~bit) | (bit & (SquareSet(0) - SquareSet(ours & (changed[i].before.piece == Rook))));
        queens = (queens & ~bit) | (bit & (SquareSet(0) - SquareSet(ours & (changed[i].before.piece == Queen))));
    }
    return {occupied & ~squareBit(king), {queens | rooks, queens}};
}

// Wraps like the unsigned sum it is: a man's attacks come off before the
// others' go on.
inline void addOver(int* map, SquareSet squares, int amount) {
    for (; squares; squares &= squares - 1) {
        int& word = map[__builtin_ctzll(squares)];
        word = int(uint32_t(word) + uint32_t(amount));
    }
}

// What a slider on q adds along d: its full word up to and including the first
// man; through an own man that moves the same way (and lets it through), 1 on each
// square beyond up to and including the next man.
struct RayReach {
    SquareSet direct;
    SquareSet xray;
};

// Written without branches: which way a ray ends follows no pattern a predictor
// could learn. An empty ray ends on a square whose own ray is empty (as in
// targets::nearestOrEnd); that square is no man of this ray, so it never x-rays.
inline int nearestOrEnd(int d, SquareSet set) {
    const int up = __builtin_ctzll(set | squareBit(63)), down = 63 - __builtin_clzll(set | squareBit(0));
    return targets::ascending(d) ? up : down;
}

inline RayReach rayReach(int q, int d, const MapView& view) {
    const SquareSet ray = targets::Sets.ray[q][d];
    const int first = nearestOrEnd(d, ray & view.occupied);
    const SquareSet beyond = targets::Sets.ray[first][d];
    const int second = nearestOrEnd(d, beyond & view.occupied);
    const SquareSet through = view.through[d >= 4] & ray & squareBit(first);
    return {ray & ~beyond, (beyond & ~targets::Sets.ray[second][d]) & (SquareSet(0) - (through != 0))};
}

// Everything a man on q adds to its side's map (sign -1 takes it off).
void addMan(int* map, int q, SquareContent man, int sign, const MapView& view) {
    const int word = sign * (attackWeight[man.piece] + 1);
    switch (man.piece) {
        // A pawn attacks the squares from which an enemy pawn would attack it.
        case Pawn: addOver(map, targets::Sets.pawnCaptures[man.colour][q], word); break;
        case Knight: addOver(map, targets::Sets.knight[q], word); break;
        case King: addOver(map, kingNeighbours[q], word); break;
        default: {
            // Rook directions are 0-3, the diagonals 4-7.
            const int lo = man.piece == Bishop ? 4 : 0, hi = man.piece == Rook ? 4 : 8;
            SquareSet direct = 0, xray = 0;
            for (int d = lo; d < hi; ++d) {
                const RayReach reach = rayReach(q, d, view);
                direct |= reach.direct;
                xray |= reach.xray;
            }
            addOver(map, direct, word);
            addOver(map, xray, sign);
        }
    }
}

// The directions a slider moves along, by piece code: rook 0-3, bishop 4-7.
constexpr unsigned LineDirections[8] = {0, 0, 0, 0xF0u, 0x0Fu, 0xFFu, 0, 0};

// Both sides' maps of one level into another. An explicit copy: the library call
// that a copy of this size becomes starts slowly.
inline void copyMaps(int (*to)[64], const int (*from)[64]) {
#if defined(__SSE2__)
    const __m128i* source = reinterpret_cast<const __m128i*>(from[0]);
    __m128i* target = reinterpret_cast<__m128i*>(to[0]);
#pragma GCC unroll 32
    for (int i = 0; i < 2 * 64 / 4; ++i) _mm_storeu_si128(target + i, _mm_loadu_si128(source + i));
#else
    std::memcpy(to, from, 2 * 64 * sizeof(int));
#endif
}

// The level whose maps the current ones are brought up from: the nearest level
// below with current maps, reached by moves made one after the other from it, at
// most MostMovesBridged of them; -1 when there is none and the maps are built.
// A quiescence node that lists captures alone reads no maps, so its children
// bridge two moves.
constexpr int MostMovesBridged = 3;

int sourceLevel(const Position& pos) {
    const int level = pos.mapLevel;
    for (int k = level - 1; k >= 0 && k >= level - MostMovesBridged; --k) {
        if (pos.slots[k].previousMapLevel != k) return -1;
        if (pos.mapsCurrent[k]) return k;
    }
    return -1;
}

}  // namespace

void updateAttackMaps(Position& pos) {
    const int level = pos.mapLevel;
    const int source = sourceLevel(pos);
    if (source < 0) {
        buildAttackMaps(pos);
        return;
    }
    copyMaps(pos.attackMaps[level], pos.attackMaps[source]);
    pos.unfoldedKingWord[level][White] = pos.unfoldedKingWord[source][White];
    pos.unfoldedKingWord[level][Black] = pos.unfoldedKingWord[source][Black];
    pos.mapsCurrent[level] = true;

    // Null moves change no square.
    ChangedSquare changed[5 * MostMovesBridged];
    int n = 0;
    for (int k = source; k < level; ++k)
        if (pos.slots[k].move != NoMove) n = addChangedSquares(pos.slots[k], changed, n);
    if (n == 0) return;
    SquareSet changedSet = 0, straightLines = 0, diagonalLines = 0;
    for (int i = 0; i < n; ++i) {
        changedSet |= squareBit(changed[i].square);
        straightLines |= targets::Sets.rookLines[changed[i].square];
        diagonalLines |= targets::Sets.bishopLines[changed[i].square];
    }
    const SquareSet before = pos.slots[source].occupiedBy[White] | pos.slots[source].occupiedBy[Black];
    const SquareSet after = pos.occupiedBy[White] | pos.occupiedBy[Black];

    for (int side : {White, Black}) {
        const int other = 1 - side;
        int* map = pos.attackMapOf(side);
        const int kingAfter = pos.pieceList[other][0];
        int kingBefore = kingAfter;
        for (int i = 0; i < n; ++i) {
            const bool wasKing = (changed[i].before.piece == King) & (changed[i].before.colour == other);
            kingBefore = wasKing ? changed[i].square : kingBefore;
        }
        // The enemy king's word as the attacks add up, folded again at the end.
        map[kingBefore] = pos.unfoldedKingWord[level][side];
        const MapView was = viewBefore(pos, side, before, kingBefore, changed, n);
        const MapView now = viewNow(pos, side, after, kingAfter);

        for (int i = 0; i < n; ++i)
            if (changed[i].before.colour == side) addMan(map, changed[i].square, changed[i].before, -1, was);
        for (int i = 0; i < n; ++i)
            if (pos.squares[changed[i].square].colour == side)
                addMan(map, changed[i].square, pos.squares[changed[i].square], 1, now);
        // Sliders that stayed where they were but look along a changed square:
        // only the squares their reach gained or lost change.
        const SquareSet queens = pos.pieceSet[side][Queen];
        const SquareSet lookers = (((pos.pieceSet[side][Rook] | queens) & straightLines) |
                                   ((pos.pieceSet[side][Bishop] | queens) & diagonalLines)) &
                                  ~changedSet;
        for (SquareSet men = lookers; men; men &= men - 1) {
            const int q = __builtin_ctzll(men);
            const int piece = pos.squares[q].piece;
            const int word = attackWeight[piece] + 1;
            // Its directions (rook 0-3, diagonals 4-7) whose rays meet a changed
            // square, gathered without branches: usually one or two.
            unsigned directions = 0;
            for (int i = 0; i < n; ++i) directions |= Lines.directionTo[q][changed[i].square];
            directions &= LineDirections[piece];
            for (; directions; directions &= directions - 1) {
                const int d = __builtin_ctz(directions);
                const RayReach old = rayReach(q, d, was), fresh = rayReach(q, d, now);
                addOver(map, old.direct & ~fresh.direct, -word);
                addOver(map, fresh.direct & ~old.direct, word);
                addOver(map, old.xray & ~fresh.xray, -1);
                addOver(map, fresh.xray & ~old.xray, 1);
            }
        }
        pos.unfoldedKingWord[level][side] = map[kingAfter];
        map[kingAfter] = foldKingWord(map[kingAfter]);
    }
}

// The square looks out along its lines for the nearest man: side attacks it when
// that man is side's and moves along the line.
bool isAttackedBy(const Position& pos, int side, int square) {
    if (targets::Sets.pawnCaptures[1 - side][square] & pos.pieceSet[side][Pawn]) return true;
    if (distance[pos.pieceList[side][0]][square] == 1) return true;
    if (targets::Sets.knight[square] & pos.pieceSet[side][Knight]) return true;
    // Each of our sliders on a line it moves along attacks when nothing stands between.
    const SquareSet occupied = seenMen(pos, side);
    const SquareSet sliders = (slidersAlong(pos, side, 0) & targets::Sets.rookLines[square]) |
                              (slidersAlong(pos, side, 4) & targets::Sets.bishopLines[square]);
    for (SquareSet s = sliders; s; s &= s - 1)
        if (!(Lines.between[square][__builtin_ctzll(s)] & occupied)) return true;
    return false;
}

int attackCount(const Position& pos, int side, int square) {
    int count = __builtin_popcountll(targets::Sets.pawnCaptures[1 - side][square] & pos.pieceSet[side][Pawn]);
    if (distance[pos.pieceList[side][0]][square] == 1) ++count;
    count += knightsAttacking(pos, side, square);
    const SquareSet occupied = seenMen(pos, side);
    const SquareSet straight = slidersAlong(pos, side, 0), diagonal = slidersAlong(pos, side, 4);
    // A slider counts with nothing between, and x-rays through one man of ours that
    // moves the same way and lets it through: any straight slider, a queen on a diagonal.
    for (int kind : {Rook, Bishop}) {
        const SquareSet sliders = kind == Rook ? straight : diagonal;
        const SquareSet seeThrough = kind == Rook ? straight : pos.pieceSet[side][Queen];
        for (SquareSet s = sliders & (kind == Rook ? targets::Sets.rookLines : targets::Sets.bishopLines)[square]; s; s &= s - 1) {
            const SquareSet blockers = Lines.between[square][__builtin_ctzll(s)] & occupied;
            if (!blockers || ((blockers & (blockers - 1)) == 0 && (blockers & seeThrough))) ++count;
        }
    }
    return count;
}

bool inCheck(const Position& pos, int side) { return pos.attackMapOf(1 - side)[pos.pieceList[side][0]] != 0; }

bool inDoubleCheck(const Position& pos, int side) {
    return (pos.attackMapOf(1 - side)[pos.pieceList[side][0]] & AttackCountMask) >= 2;
}

}  // namespace board
