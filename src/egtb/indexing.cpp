#include "egtb/indexing.h"

#include <array>
#include <utility>

namespace egtb {

constinit int16_t kkPairIndex[64][64]{};
constinit int16_t kpPairIndex[64][64]{};
constinit IndexTablesState IndexTables{};

namespace {

constexpr int fileOf(int square) { return square & 7; }
constexpr int rankOf(int square) { return square >> 3; }
constexpr int absolute(int x) { return x < 0 ? -x : x; }

// Without pawns every symmetry of the board keeps the value: files e-h and ranks 5-8
// are mirrored so that K1 lands in a1-d4.
constexpr int pawnlessMask(int square) {
    return (fileOf(square) >= 4 ? 7 : 0) ^ (rankOf(square) >= 4 ? 56 : 0);
}
// Pawns walk one way, so only the files may be mirrored.
constexpr int pawnMask(int square) { return fileOf(square) >= 4 ? 7 : 0; }
constexpr int reflectDiagonal(int square) { return fileOf(square) << 3 | rankOf(square); }
constexpr bool inTriangle(int square) { return rankOf(square) <= fileOf(square) && fileOf(square) < 4; }

// ---- The shape of one table side's index ------------------------------------------

enum class PartA : uint8_t { PairOnly, One, Two, TwoSame };
enum class DigitKind : uint8_t { Piece, PiecePair, Pawn, PawnPair };
// En passant sections of the tables with pawns on both sides, by white's men.
enum class EnPassant : uint8_t { None, Pawn, PiecePawn, TwoPawns };

struct ManRef {
    uint8_t colour = 0;
    uint8_t slot = 0;  // 0 the king, then the men in name order
};

struct Digit {
    DigitKind kind{};
    ManRef man[2];
    uint8_t placedCount = 0;  // pieces: the men already standing when this one is placed
    ManRef placed[6];
    uint32_t range = 0;
};

struct Layout {
    bool pawns = false;     // king pairs of the pawn kind, files mirrored only
    bool rankFlip = false;  // the table turns the board so its pawns walk up
    int mover = 0;          // colour of K1
    PartA partA{};
    ManRef a[2];
    int aKind[2]{};
    int digitCount = 0;
    Digit digit[3];
    int moverPawnCount = 0;  // a defender pawn never shares a square with these
    ManRef moverPawn[2];
    EnPassant enPassant{};
    uint32_t digitProduct = 1;
    int pieceKind = 0;  // en passant of kXpkp: the kind of white's piece
};

constexpr int pieceOfLetter(char c) {
    switch (c) {
        case 'n': return 2;
        case 'b': return 3;
        case 'r': return 4;
        case 'q': return 5;
        default: return 1;  // "p", and any other letter counts as a pawn
    }
}

// Reads the table's name and lays out the index of side's function.
constexpr Layout makeLayout(const char* name, int side) {
    int piece[2][4]{};
    int count[2]{};
    int colour = -1;
    for (const char* c = name; *c; ++c) {
        if (*c == 'k') {
            ++colour;
            continue;
        }
        piece[colour][++count[colour]] = pieceOfLetter(*c);
    }
    auto hasPawn = [&](int x) {
        for (int i = 1; i <= count[x]; ++i)
            if (piece[x][i] == 1) return true;
        return false;
    };

    Layout L;
    const int mover = side, defender = 1 - side;
    L.mover = mover;
    L.pawns = hasPawn(0) || hasPawn(1);
    // Black's pawns, or a lone black king facing white pawns: the black-to-move side
    // is stored with the board turned upside down.
    L.rankFlip = side == 1 && L.pawns && (hasPawn(1) || (count[1] == 0 && hasPawn(0)));
    for (int i = 1; i <= count[mover]; ++i)
        if (piece[mover][i] == 1) L.moverPawn[L.moverPawnCount++] = ManRef{uint8_t(mover), uint8_t(i)};

    // Part A: the men of the side to move, or a lone king's opponent's pawns.
    bool inPartA[5]{};
    int partACount = 0;
    if (count[mover] > 0) {
        for (int i = 1; i <= count[mover]; ++i) {
            L.a[partACount] = ManRef{uint8_t(mover), uint8_t(i)};
            L.aKind[partACount++] = piece[mover][i] == 1 ? WhitePawnKind : piece[mover][i];
        }
    } else {
        for (int i = 1; i <= count[defender]; ++i)
            if (piece[defender][i] == 1) {
                inPartA[i] = true;
                L.a[partACount] = ManRef{uint8_t(defender), uint8_t(i)};
                L.aKind[partACount++] = BlackPawnKind;
            }
    }
    L.partA = partACount == 0            ? PartA::PairOnly
              : partACount == 1          ? PartA::One
              : L.aKind[0] == L.aKind[1] ? PartA::TwoSame
                                         : PartA::Two;

    // Digits: the defender's remaining men in name order, equal neighbours paired.
    for (int i = 1; i <= count[defender]; ++i) {
        if (inPartA[i]) continue;
        Digit d;
        const bool pawn = piece[defender][i] == 1;
        const bool pair = i < count[defender] && piece[defender][i + 1] == piece[defender][i];
        d.man[0] = ManRef{uint8_t(defender), uint8_t(i)};
        if (pair) d.man[1] = ManRef{uint8_t(defender), uint8_t(i + 1)};
        if (pawn) {
            d.kind = pair ? DigitKind::PawnPair : DigitKind::Pawn;
            const uint32_t r = 48 - L.moverPawnCount;
            d.range = pair ? r * (r - 1) / 2 : r;
        } else {
            d.placed[d.placedCount++] = ManRef{0, 0};
            d.placed[d.placedCount++] = ManRef{1, 0};
            for (int j = 1; j <= count[mover]; ++j)
                d.placed[d.placedCount++] = ManRef{uint8_t(mover), uint8_t(j)};
            for (int j = 1; j <= count[defender]; ++j)
                if (piece[defender][j] == 1 || j < i)
                    d.placed[d.placedCount++] = ManRef{uint8_t(defender), uint8_t(j)};
            const uint32_t r = 64 - d.placedCount;
            d.kind = pair ? DigitKind::PiecePair : DigitKind::Piece;
            d.range = pair ? r * (r - 1) / 2 : r;
        }
        L.digit[L.digitCount++] = d;
        L.digitProduct *= d.range;
        if (pair) ++i;
    }

    if (hasPawn(0) && hasPawn(1)) {
        L.enPassant = count[0] == 1      ? EnPassant::Pawn
                      : piece[0][1] == 1 ? EnPassant::TwoPawns
                                         : EnPassant::PiecePawn;
        L.pieceKind = piece[0][1];
    }
    return L;
}

// ---- Enumerations ----------------------------------------------------------------

// Ordinal of a man of kind t on s, counted over the squares left by K2 and K1.
inline int ordinal(int t, int K1, int K2, int s) {
    const int e = IndexTables.enumeration[t][K2][s];
    if (e == 255) return -1;
    return e - (IndexTables.enumeration[t][K2][K1] != 255 && K1 < s);
}

inline uint32_t available(int t, int K1, int K2) {
    return IndexTables.count[t][K2] - (IndexTables.enumeration[t][K2][K1] != 255);
}

constexpr int countBelow(int square, const int* squares, int n) {
    int below = 0;
    for (int i = 0; i < n; ++i) below += squares[i] < square;
    return below;
}

inline uint32_t partATotal(const Layout& L) {
    const int k = L.pawns ? 1 : 0;
    switch (L.partA) {
        case PartA::PairOnly: return L.pawns ? KpPairs : KkPairs;
        case PartA::One: return IndexTables.total1[k][L.aKind[0]];
        default: return IndexTables.total2[k][L.aKind[0]][L.aKind[1]];
    }
}

// ---- The index -------------------------------------------------------------------

constexpr uint32_t NotEnPassant = NoIndex - 1;

// En passant positions: the board is only mirrored (and turned for exchanged
// colours), never rank-flipped, and the pawns are implied by the capture's code.
[[gnu::always_inline]] inline uint32_t enPassantIndex(const Layout& L, const int* const* list, int ep,
                                                      int flip) {
    const int mover = L.mover, defender = 1 - mover;
    const int mask = pawnMask(list[mover][0]) ^ (flip ? 56 : 0);
    auto square = [&](ManRef m) { return list[m.colour][m.slot] ^ mask; };
    const int e = ep ^ mask;
    // The pawn that has just stepped two squares stands behind the target.
    const int moved = mover == 0 ? e - 8 : e + 8;
    if (rankOf(e) != (mover == 0 ? 5 : 2)) return NotEnPassant;
    // Defender pawns are digits in these tables: find the one that has just moved.
    int defenderPawns[2]{}, defenderPawnCount = 0, movedAt = -1;
    for (int d = 0; d < L.digitCount; ++d) {
        const Digit& D = L.digit[d];
        if (D.kind != DigitKind::Pawn && D.kind != DigitKind::PawnPair) continue;
        for (int j = 0; j < (D.kind == DigitKind::PawnPair ? 2 : 1); ++j) {
            if (square(D.man[j]) == moved) movedAt = defenderPawnCount;
            defenderPawns[defenderPawnCount++] = square(D.man[j]);
        }
    }
    if (movedAt < 0) return NotEnPassant;

    // The capturing pawn; when pawns stand on both sides the lower one takes.
    int capturing = -1, code = 0;
    for (int i = 0; i < L.moverPawnCount && capturing < 0; ++i)
        if (fileOf(moved) != 0 && square(L.moverPawn[i]) == moved - 1) capturing = i;
    if (capturing >= 0) {
        code = fileOf(moved - 1) + 7;
    } else {
        for (int i = 0; i < L.moverPawnCount && capturing < 0; ++i)
            if (fileOf(moved) != 7 && square(L.moverPawn[i]) == moved + 1) capturing = i;
        if (capturing < 0) return NotEnPassant;
        code = fileOf(moved + 1) - 1;
    }

    const int K1 = square(ManRef{uint8_t(mover), 0}), K2 = square(ManRef{uint8_t(defender), 0});
    const int pair = kpPairIndex[K1][K2];
    if (pair == NoPair) return NoIndex;
    const uint32_t normal = partATotal(L) * L.digitProduct;
    uint32_t E = 0;
    switch (L.enPassant) {
        case EnPassant::Pawn: E = pair; break;
        case EnPassant::PiecePawn:
            if (mover == 0) {
                const int o = ordinal(L.pieceKind, K1, K2, square(ManRef{0, 1}));
                if (o < 0) return NoIndex;
                E = IndexTables.base1[1][L.pieceKind][pair] + o;
            } else {
                const int piece = square(ManRef{0, 1});
                const int taken[6] = {square(L.moverPawn[capturing]), K1, K2, moved, e, e - 8};
                E = pair * 58 + piece - countBelow(piece, taken, 6);
            }
            break;
        case EnPassant::TwoPawns: {
            // kppkp: the white pawn that neither captures nor has just moved.
            const int capturer = square(L.moverPawn[capturing]);
            if (mover == 0) {
                const int o = square(L.moverPawn[1 - capturing]);
                const int taken[4] = {moved, e, e + 8, capturer};
                E = pair * 44 + o - 8 - countBelow(o, taken, 4);
            } else {
                const int o = defenderPawns[1 - movedAt];
                const int taken[4] = {capturer, e, e - 8, moved};
                E = pair * 44 + o - 8 - countBelow(o, taken, 4);
            }
            break;
        }
        case EnPassant::None: break;
    }
    return normal + E * 14 + code;
}

[[gnu::always_inline]] inline uint32_t computeIndex(const Layout& L, const int* white, const int* black,
                                                    int ep, int flip) {
    const int* const list[2] = {white, black};
    if (L.enPassant != EnPassant::None && ep != 64) {
        const uint32_t index = enPassantIndex(L, list, ep, flip);
        if (index != NotEnPassant) return index;
    }

    // Normal form: K1 into a1-d4 (and below the diagonal) without pawns, into files
    // a-d with pawns, where the board is also turned when colours were exchanged.
    const int k1 = list[L.mover][0], k2 = list[1 - L.mover][0];
    int mask;
    bool reflect = false;
    if (L.pawns) {
        mask = pawnMask(k1) ^ (flip ? 56 : 0) ^ (L.rankFlip ? 56 : 0);
    } else {
        mask = pawnlessMask(k1);
        const int a = k1 ^ mask, b = k2 ^ mask;
        reflect = rankOf(a) > fileOf(a) || (rankOf(a) == fileOf(a) && rankOf(b) > fileOf(b));
    }
    auto square = [&](ManRef m) {
        const int s = list[m.colour][m.slot] ^ mask;
        return reflect ? reflectDiagonal(s) : s;
    };
    const int K1 = square(ManRef{uint8_t(L.mover), 0}), K2 = square(ManRef{uint8_t(1 - L.mover), 0});
    const int pair = L.pawns ? kpPairIndex[K1][K2] : kkPairIndex[K1][K2];
    if (pair == NoPair) return NoIndex;
    const int k = L.pawns ? 1 : 0;

    // Part A: the king pair and the men that are enumerated relative to the kings.
    uint32_t index = 0;
    switch (L.partA) {
        case PartA::PairOnly: index = pair; break;
        case PartA::One: {
            const int o = ordinal(L.aKind[0], K1, K2, square(L.a[0]));
            if (o < 0) return NoIndex;
            index = IndexTables.base1[k][L.aKind[0]][pair] + o;
            break;
        }
        case PartA::Two: {
            const int t = L.aKind[0], u = L.aKind[1];
            const int ot = ordinal(t, K1, K2, square(L.a[0])), ou = ordinal(u, K1, K2, square(L.a[1]));
            if (ot < 0 || ou < 0) return NoIndex;
            index = IndexTables.base2[k][t][u][pair] + ot * available(u, K1, K2) + ou;
            break;
        }
        case PartA::TwoSame: {
            const int t = L.aKind[0];
            int h = ordinal(t, K1, K2, square(L.a[0])), l = ordinal(t, K1, K2, square(L.a[1]));
            if (h < 0 || l < 0 || h == l) return NoIndex;
            if (h < l) std::swap(h, l);
            index = IndexTables.base2[k][t][t][pair] + h * (h - 1) / 2 + l;
            break;
        }
    }

    // The defender's men, most significant first, each over the squares left to it.
    int moverPawns[2]{};
    for (int i = 0; i < L.moverPawnCount; ++i) moverPawns[i] = square(L.moverPawn[i]);
    for (int d = 0; d < L.digitCount; ++d) {
        const Digit& D = L.digit[d];
        const bool twoMen = D.kind == DigitKind::PiecePair || D.kind == DigitKind::PawnPair;
        int reduced[2]{};
        for (int j = 0; j < (twoMen ? 2 : 1); ++j) {
            const int s = square(D.man[j]);
            if (D.kind == DigitKind::Pawn || D.kind == DigitKind::PawnPair) {
                if (s < 8 || s > 55) return NoIndex;
                reduced[j] = s - 8 - countBelow(s, moverPawns, L.moverPawnCount);
            } else {
                int placed[6]{};
                for (int i = 0; i < D.placedCount; ++i) placed[i] = square(D.placed[i]);
                reduced[j] = s - countBelow(s, placed, D.placedCount);
            }
        }
        uint32_t digit = reduced[0];
        if (twoMen) {
            int h = reduced[0], l = reduced[1];
            if (h == l) return NoIndex;
            if (h < l) std::swap(h, l);
            digit = h * (h - 1) / 2 + l;
        }
        index = index * D.range + digit;
    }
    return index;
}

template <int N, int S>
uint32_t tableIndex(const int* white, const int* black, int ep, int flip) {
    static constexpr Layout L = makeLayout(TableList[N].name, S);
    return computeIndex(L, white, black, ep, flip);
}

template <size_t... N>
constexpr std::array<std::array<IndexFunction, 2>, sizeof...(N)> makeIndexFunctions(
    std::index_sequence<N...>) {
    return {{{&tableIndex<int(N), 0>, &tableIndex<int(N), 1>}...}};
}
constexpr auto IndexFunctions = makeIndexFunctions(std::make_index_sequence<TableCount + 1>());

template <size_t... N>
constexpr std::array<std::array<Layout, 2>, sizeof...(N)> makeLayouts(std::index_sequence<N...>) {
    return {{{makeLayout(TableList[N].name, 0), makeLayout(TableList[N].name, 1)}...}};
}
constexpr auto Layouts = makeLayouts(std::make_index_sequence<TableCount + 1>());

// Squares from which a man of kind t gives check to a king on k by contact; such a
// man would leave the side not to move in check.
constexpr bool checksByContact(int t, int s, int k) {
    const int df = absolute(fileOf(s) - fileOf(k)), dr = absolute(rankOf(s) - rankOf(k));
    switch (t) {
        case WhitePawnKind: return (s + 7 == k && fileOf(s) != 0) || (s + 9 == k && fileOf(s) != 7);
        case KnightKind: return (df == 1 && dr == 2) || (df == 2 && dr == 1);
        case BishopKind: return df == 1 && dr == 1;
        case RookKind: return df + dr == 1;
        case QueenKind: return df <= 1 && dr <= 1 && df + dr > 0;
        default: return false;  // a black pawn checks upwards only after the board is turned
    }
}

constexpr bool kingsApart(int a, int b) {
    return absolute(fileOf(a) - fileOf(b)) > 1 || absolute(rankOf(a) - rankOf(b)) > 1;
}

}  // namespace

void buildIndexTables() {
    if (IndexTables.built) return;
    IndexTables.built = true;

    // King pairs, K1 first: the triangle without pawns, files a-d with them.
    int kk = 0, kp = 0;
    for (int K1 = 0; K1 < 64; ++K1)
        for (int K2 = 0; K2 < 64; ++K2) {
            const bool apart = K1 != K2 && kingsApart(K1, K2);
            const bool belowDiagonal = rankOf(K1) != fileOf(K1) || fileOf(K2) >= rankOf(K2);
            kkPairIndex[K1][K2] = int16_t(apart && inTriangle(K1) && belowDiagonal ? kk++ : NoPair);
            kpPairIndex[K1][K2] = int16_t(apart && fileOf(K1) < 4 ? kp++ : NoPair);
        }

    for (int t = 0; t < 6; ++t)
        for (int k = 0; k < 64; ++k) {
            int n = 0;
            for (int s = 0; s < 64; ++s) {
                const bool onBoard = t > WhitePawnKind || (s >= 8 && s < 56);
                IndexTables.enumeration[t][k][s] =
                    onBoard && s != k && !checksByContact(t, s, k) ? uint8_t(n++) : 255;
            }
            IndexTables.count[t][k] = uint8_t(n);
        }

    // Running sums of the men's squares over the pairs before each pair.
    for (int k = 0; k < 2; ++k) {
        const int16_t(*pairs)[64] = k ? kpPairIndex : kkPairIndex;
        uint32_t sum1[6]{}, sum2[6][6]{};
        for (int K1 = 0; K1 < 64; ++K1)
            for (int K2 = 0; K2 < 64; ++K2) {
                const int pair = pairs[K1][K2];
                if (pair == NoPair) continue;
                for (int t = 0; t < 6; ++t) {
                    const uint32_t ct = available(t, K1, K2);
                    IndexTables.base1[k][t][pair] = sum1[t];
                    sum1[t] += ct;
                    for (int u = 0; u < 6; ++u) {
                        IndexTables.base2[k][t][u][pair] = sum2[t][u];
                        sum2[t][u] += t == u ? ct * (ct - 1) / 2 : ct * available(u, K1, K2);
                    }
                }
            }
        for (int t = 0; t < 6; ++t) {
            IndexTables.total1[k][t] = sum1[t];
            for (int u = 0; u < 6; ++u) IndexTables.total2[k][t][u] = sum2[t][u];
        }
    }
}

IndexFunction indexFunctionFor(int table, int side) { return IndexFunctions[table][side]; }

uint64_t indexSpan(int table, int side) {
    const Layout& L = Layouts[table][side];
    uint64_t span = uint64_t(partATotal(L)) * L.digitProduct;
    switch (L.enPassant) {
        case EnPassant::None: break;
        case EnPassant::Pawn: span += KpPairs * 14; break;
        case EnPassant::PiecePawn:
            span += uint64_t(side == 0 ? IndexTables.total1[1][L.pieceKind] : KpPairs * 58) * 14;
            break;
        case EnPassant::TwoPawns: span += KpPairs * 44 * 14; break;
    }
    return span;
}

}  // namespace egtb
