#include "eval/piece_terms.h"

#include "board/attacks.h"
#include "board/board.h"
#include "board/target_sets.h"
#include "board/zobrist.h"
#include "eval/pawns.h"
#include "eval/piece_square.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace eval {

using board::attackWeight;
using board::Bishop;
using board::Black;
using board::distance;
using board::King;
using board::Knight;
using board::NoColour;
using board::Pawn;
using board::Position;
using board::Queen;
using board::Rook;
using board::White;
namespace targets = board::targets;

namespace {

// ---- Weights -----------------------------------------------------------------
constexpr int LowMobility[2] = {-6, -2};  // knight, bishop, rook with 0 or 1 safe squares
constexpr int LowMobilityQueen[2] = {-12, -4};
constexpr int DangerCurve[8] = {0, -6, -16, -30, -44, -58, -64, -70};
constexpr int KnightOutpost[64] = {
    0, 0, 0, 0,  0,  0, 0, 0,  //
    0, 0, 0, 0,  0,  0, 0, 0,  //
    0, 0, 0, 0,  0,  0, 0, 0,  //
    0, 0, 4, 8,  8,  4, 0, 0,  //
    0, 0, 8, 12, 12, 8, 0, 0,  //
    0, 4, 8, 12, 12, 8, 4, 0,  //
    0, 0, 0, 5,  5,  0, 0, 0,  //
    0, 0, 0, 0,  0,  0, 0, 0,
};
constexpr int PassedEndgameScale[8] = {0, 16, 24, 36, 44, 60, 100, 0};
constexpr int UnstoppablePawn[8] = {0, 128, 140, 164, 212, 288, 400, 0};

// Kind masks of an attack word.
constexpr int PawnAttacker = 0x10000000;
constexpr int QueenOrRookCounters = 0xff000;
constexpr int DiagonalCounters = 0xf0f000;  // bishops and queens
constexpr int KnightCounters = 0xf000000;

// Side-wide penalties collected while one side's men are scored.
struct Accumulators {
    int mobility = 0;
    int hanging = 0;
    int overload = 0;
};

// What the two maps say about every square: where each side attacks at all, and
// where its word is the larger.
struct BoardSets {
    SquareSet attacked[2];
    SquareSet stronger[2];
};

// Compares the 64 words of both maps: bit n of each set answers for square n.
void readMaps(const int* white, const int* black, BoardSets& b) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int block = 0; block < 4; ++block) {
        const __m128i* w = reinterpret_cast<const __m128i*>(white + 16 * block);
        const __m128i* k = reinterpret_cast<const __m128i*>(black + 16 * block);
        __m128i wz[4], kz[4], wg[4], kg[4];
        for (int i = 0; i < 4; ++i) {
            const __m128i x = _mm_loadu_si128(w + i), y = _mm_loadu_si128(k + i);
            wz[i] = _mm_cmpeq_epi32(x, zero);
            kz[i] = _mm_cmpeq_epi32(y, zero);
            wg[i] = _mm_cmpgt_epi32(x, y);
            kg[i] = _mm_cmpgt_epi32(y, x);
        }
        // All-ones and zero lanes survive the saturating packs: 16 lanes, one bit each.
        auto bits = [](const __m128i* v) {
            const __m128i low = _mm_packs_epi32(v[0], v[1]), high = _mm_packs_epi32(v[2], v[3]);
            return SquareSet(uint32_t(_mm_movemask_epi8(_mm_packs_epi16(low, high))));
        };
        const int shift = 16 * block;
        b.attacked[White] |= (~bits(wz) & 0xFFFF) << shift;
        b.attacked[Black] |= (~bits(kz) & 0xFFFF) << shift;
        b.stronger[White] |= bits(wg) << shift;
        b.stronger[Black] |= bits(kg) << shift;
    }
#else
    for (int sq = 0; sq < 64; ++sq) {
        if (white[sq] != 0) b.attacked[White] |= squareBit(sq);
        if (black[sq] != 0) b.attacked[Black] |= squareBit(sq);
        if (white[sq] > black[sq]) b.stronger[White] |= squareBit(sq);
        if (black[sq] > white[sq]) b.stronger[Black] |= squareBit(sq);
    }
#endif
}

BoardSets readBoard(const Position& pos) {
    BoardSets b{};
    readMaps(pos.attackMapOf(White), pos.attackMapOf(Black), b);
    return b;
}

// Everything one side's terms read: the position, its colour, the two maps and
// the square sets taken from them and from the men, the accumulators.
struct Scoring {
    const Position& pos;
    const BoardSets& sets;
    int c;
    int e;
    const int* O;
    const int* E;
    SquareSet own;
    SquareSet enemy;
    SquareSet occupied;
    SquareSet empty;
    SquareSet enemyAttacks;   // E(a) != 0
    SquareSet enemyStronger;  // E(a) > O(a)
    SquareSet pawnsAndKings;  // of both colours: a line walk stops at them
    // Own men that a piece of each kind holds (see findHeldMen), by piece code.
    SquareSet heldBy[8];
    Accumulators acc;
};

bool pawnOf(const Position& pos, int colour, int square) {
    return pos.squares[square].piece == Pawn && pos.squares[square].colour == colour;
}
// Squares below are named as White sees the board; Black's lie on the same files
// with the ranks turned over (square ^ RankFlip<Black>).
template <int Us>
constexpr int RankFlip = Us == White ? 0 : 56;

int first(SquareSet set) { return __builtin_ctzll(set); }

// Bit counts by shifts and masks where the target has no count instruction.
int countOf(SquareSet x) {
#if defined(__POPCNT__)
    return __builtin_popcountll(x);
#else
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((x * 0x0101010101010101ull) >> 56);
#endif
}
// None, one, or 2 for more: all that the safe-square counts are asked.
int countToTwo(SquareSet x) { return int(x != 0) + int((x & (x - 1)) != 0); }

// A piece of kind k holds the own man on d when the man is attacked, no attacker is
// of its kind or cheaper, the defence holds, and would fall without this piece.
// Only attacked men can be held, so the answers for every kind are worked out
// once per side, for those men alone, and without branches: which men are held
// follows no pattern a predictor could learn.
void findHeldMen(Scoring& s) {
    for (SquareSet men = s.own & s.enemyAttacks; men; men &= men - 1) {
        const int d = first(men);
        const int e = s.E[d], o = s.O[d];
        const bool held = (e > 0) & (e < attackWeight[s.pos.squares[d].piece]) & (o >= e);
        const SquareSet bit = squareBit(d) & (SquareSet(0) - SquareSet(held));
        for (int k : {Pawn, Knight, Bishop, Rook, King})
            s.heldBy[k] |= bit & (SquareSet(0) - SquareSet(o - (attackWeight[k] + 1) < e));
    }
}

Scoring makeScoring(const Position& pos, const BoardSets& sets, int colour) {
    const int them = 1 - colour;
    Scoring s{pos, sets, colour, them, pos.attackMapOf(colour), pos.attackMapOf(them), {}, {}, {}, {}, {}, {}, {}, {}, {}};
    s.own = pos.occupiedBy[colour];
    s.enemy = pos.occupiedBy[them];
    s.occupied = s.own | s.enemy;
    s.empty = ~s.occupied;
    s.enemyAttacks = sets.attacked[them];
    s.enemyStronger = sets.stronger[them];
    s.pawnsAndKings = pos.pieceSet[White][Pawn] | pos.pieceSet[Black][Pawn] | pos.pieceSet[White][King] | pos.pieceSet[Black][King];
    findHeldMen(s);
    return s;
}

// The own men in heldSet lean on one piece. Usually there are none, which is
// worth a test before any counting.
void chargeOverload(Scoring& s, SquareSet heldSet) {
    if (!heldSet) return;
    const int held = countOf(heldSet);
    if (held == 1) s.acc.overload -= 4;
    else if (held > 1) s.acc.overload -= 6 * held;
}

// No enemy pawn can ever attack the square.
bool outsideEnemySpan(const Scoring& s, int square) {
    return (pawnEvaluator().frontAttackSpan[s.e] & squareBit(square)) == 0;
}

// ---- Pawns -------------------------------------------------------------------
constexpr SquareSet FileA = 0x0101010101010101ull, FileH = FileA << 7;

// The pawns of colour Us that attack a square of targets.
template <int Us>
SquareSet pawnsAttacking(SquareSet pawns, SquareSet targets) {
    if constexpr (Us == White) return pawns & (((targets >> 7) & ~FileA) | ((targets >> 9) & ~FileH));
    else return pawns & (((targets << 7) & ~FileH) | ((targets << 9) & ~FileA));
}

// All pawns of one side at once: each is worth the phase, less when it stands
// weak under attack; the side-wide penalties for stuck, overloaded and attacked
// pawns.
template <int Us>
int pawnTerms(Scoring& s, PieceTermsTrace* trace) {
    const SquareSet pawns = s.pos.pieceSet[Us][Pawn];
    // A pawn can move when it can capture, or push to a square that is empty and not
    // more attacked than defended.
    const SquareSet pushable = s.empty & ~s.enemyStronger;
    const SquareSet canPush = Us == White ? pushable >> 8 : pushable << 8;
    const SquareSet stuck = pawns & ~canPush & ~pawnsAttacking<Us>(pawns, s.enemy);
    if (stuck) s.acc.mobility -= 4 * countOf(stuck);
    for (SquareSet m = pawnsAttacking<Us>(pawns, s.heldBy[Pawn]); m; m &= m - 1)
        chargeOverload(s, targets::Sets.pawnCaptures[Us][first(m)] & s.heldBy[Pawn]);

    int total = gamePhase * s.pos.pieceCount[Pawn + 8 * Us];
    if (trace)
        for (SquareSet m = pawns; m; m &= m - 1) trace->term[first(m)] = gamePhase;
    for (SquareSet m = pawns & s.enemyAttacks; m; m &= m - 1) {
        const int sq = first(m);
        const int e = s.E[sq], o = s.O[sq];
        if (e > 0) {
            if (o == 0 || e > 0x10000001) {
                s.acc.hanging -= 8;
                if (stuck & squareBit(sq)) s.acc.hanging -= 8;
            } else if (e > o) {
                s.acc.hanging -= 6;
            }
        }
        // A weak pawn under several attackers is a target the enemy already works on.
        if (pawnEvaluator().weakFiles[Us] & (1u << board::fileOf(sq))) {
            const int weakness = 5 * (e & board::AttackCountMask);
            total -= weakness;
            if (trace) trace->term[sq] -= weakness;
        }
    }
    return total;
}

// ---- Knights and bishops -------------------------------------------------------
// Attacked minor pieces: undefended, or attacked by a pawn or two pieces, is worse.
void chargeMinorHanging(Scoring& s, int sq, int safe) {
    if (s.E[sq] <= 0) return;
    if (s.O[sq] == 0 || s.E[sq] > 0x100001) s.acc.hanging -= safe == 0 ? 18 : 10;
    else if (s.E[sq] >= 0x100000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
}

int knightTerm(Scoring& s, int sq) {
    const SquareSet jumps = targets::Sets.knight[sq];
    // Safe: not attacked at all, or an enemy piece worth at least a knight to take.
    const SquareSet enemyPieces = s.enemy & ~s.pos.pieceSet[s.e][Pawn];
    const int safe = countToTwo(jumps & ~s.own & (~s.enemyAttacks | enemyPieces));
    if (safe < 2) s.acc.mobility += LowMobility[safe];
    chargeOverload(s, jumps & s.heldBy[Knight]);
    chargeMinorHanging(s, sq, safe);

    // A knight in the corner with nowhere to go is as good as lost.
    const bool corner = sq == 0 || sq == 7 || sq == 56 || sq == 63;
    int r = (safe == 0 && corner) ? -150 : 0;
    if (outsideEnemySpan(s, sq)) {
        r += (gamePhase + 6) / 2;
        int d = KnightOutpost[s.c == White ? sq : 63 - sq];
        if (d != 0) {
            if (s.O[sq] >= PawnAttacker) d += 7;
            if (s.E[sq] > 0x100000) d /= 2;
            r += d;
        }
    }
    return r;
}

// A bishop's or rook's walk along its lines. The first man on a line may be a
// blocker: the man behind it tells a pin (enemy blocker) or a discovered attack
// (own one). A pawn or king as first man ends the line; any other goes on being
// walked past, and past the man behind it, which starts the count afresh as a
// first man. Every empty square walked is a move, a safe one when the enemy does
// not attack it.
struct LineWalk {
    SquareSet walked = 0;    // the squares passed, men included
    SquareSet firstMen = 0;  // men met with no blocker in front of them
    int pins = 0;
};

// The line along D from sq, behind a blocker that has men behind it.
template <int Kind, int D>
void walkBehind(const Scoring& s, int sq, int blocker, LineWalk& w) {
    for (;;) {
        const int second = targets::nearest<D>(targets::Sets.ray[blocker][D] & s.occupied);
        const board::SquareContent c = s.pos.squares[second];
        if (c.colour == s.e && (c.piece > Kind || s.E[second] == 0)) {
            if (s.enemy & squareBit(blocker)) {
                w.pins += 10;
                if (s.E[blocker] == 0 || s.O[blocker] > attackWeight[s.pos.squares[blocker].piece] + 1) w.pins += 5;
            } else {
                w.pins += 8;
            }
        }
        const SquareSet rest = targets::Sets.ray[second][D] & s.occupied;
        if (!rest) break;
        const int next = targets::nearest<D>(rest);
        w.firstMen |= squareBit(next);
        if (s.pawnsAndKings & squareBit(next)) {
            w.walked |= targets::Sets.ray[sq][D] & ~targets::Sets.ray[next][D];
            return;
        }
        if (!(targets::Sets.ray[next][D] & s.occupied)) break;
        blocker = next;
    }
    w.walked |= targets::Sets.ray[sq][D];
}

template <int Kind, int D>
void walkLine(const Scoring& s, int sq, LineWalk& w) {
    const SquareSet ray = targets::Sets.ray[sq][D], men = ray & s.occupied;
    const int man = targets::nearestOrEnd<D>(men);
    const SquareSet behind = targets::Sets.ray[man][D];
    w.walked |= ray & ~behind;
    w.firstMen |= men & ~behind;
    if (s.pawnsAndKings & squareBit(man)) return;
    if (behind & s.occupied) walkBehind<Kind, D>(s, sq, man, w);
    else w.walked |= behind;
}

struct SliderResult {
    int pins;
    int safe;  // 0, 1, or 2 for more
};

template <int Kind>
SliderResult sliderWalk(Scoring& s, int sq) {
    LineWalk w;
    SquareSet takeable;  // enemy men it is safe to take: at least a knight or a rook
    if constexpr (Kind == Bishop) {
        walkLine<Kind, 4>(s, sq, w);
        walkLine<Kind, 5>(s, sq, w);
        walkLine<Kind, 6>(s, sq, w);
        walkLine<Kind, 7>(s, sq, w);
        takeable = s.enemy & ~s.pos.pieceSet[s.e][Pawn];
    } else {
        walkLine<Kind, 0>(s, sq, w);
        walkLine<Kind, 1>(s, sq, w);
        walkLine<Kind, 2>(s, sq, w);
        walkLine<Kind, 3>(s, sq, w);
        takeable = s.pos.pieceSet[s.e][Rook] | s.pos.pieceSet[s.e][Queen] | s.pos.pieceSet[s.e][King];
    }
    const SquareSet moves = w.walked & s.empty;
    const int safe = countToTwo((w.firstMen & takeable) | (moves & ~s.enemyAttacks));
    chargeOverload(s, w.firstMen & s.heldBy[Kind]);
    if (safe < 2) s.acc.mobility += LowMobility[safe];
    const int n = countOf(moves);
    if (Kind == Bishop) s.acc.mobility += n > 9 ? 18 : 2 * n;
    else s.acc.mobility += n > 7 ? 14 : 2 * n;
    return {w.pins, safe};
}

// A bishop that took the rook's pawn gets shut in by the two pawns beside it: on
// h7 by g6 and f7, on a7 by b6 and c7.
template <int Us>
bool trappedBishop(const Position& pos, int sq) {
    constexpr int Them = 1 - Us, Flip = RankFlip<Us>;
    return (sq == (55 ^ Flip) && pawnOf(pos, Them, 46 ^ Flip) && pawnOf(pos, Them, 53 ^ Flip)) ||
           (sq == (48 ^ Flip) && pawnOf(pos, Them, 41 ^ Flip) && pawnOf(pos, Them, 50 ^ Flip));
}

int bishopTerm(Scoring& s, int sq) {
    SliderResult walk = sliderWalk<Bishop>(s, sq);
    chargeMinorHanging(s, sq, walk.safe);
    int x = walk.pins;

    if (s.c == White ? trappedBishop<White>(s.pos, sq) : trappedBishop<Black>(s.pos, sq)) x -= 120;
    int r = gamePhase + x;
    if (outsideEnemySpan(s, sq)) r += (gamePhase + 6) / 2;
    return r;
}

// ---- Rooks and queens ----------------------------------------------------------
bool pawnOnRank(const Position& pos, int colour, int rank) {
    return (pos.pieceSet[colour][Pawn] & (SquareSet(0xFF) << (8 * rank))) != 0;
}

// The first pawn of either colour on a file, walking the ranks from `from` by step.
int firstPawnOnFile(const Position& pos, int file, int from, int to, int step) {
    for (int r = from; r != to + step; r += step)
        if (pos.squares[8 * r + file].piece == Pawn && pos.squares[8 * r + file].colour != NoColour) return r;
    return -1;
}

// Does a rook on file and rank stand behind a passed pawn of colour Us? The pawn
// that counts is the file's front pawn as Us looks at it, from the seventh rank
// backwards.
template <int Us>
bool behindPassedPawn(const Position& pos, int file, int rank) {
    if (!(pawnEvaluator().passedFiles[Us] & (1u << file))) return false;
    const int front =
        Us == White ? firstPawnOnFile(pos, file, 6, 1, -1) : firstPawnOnFile(pos, file, 1, 6, 1);
    return front >= 0 && (Us == White ? rank < front : rank > front);
}

int rookTerm(Scoring& s, int sq) {
    SliderResult walk = sliderWalk<Rook>(s, sq);
    int x = walk.pins;
    if (s.E[sq] > 0) {
        if (s.O[sq] == 0 || s.E[sq] > 0x10001) s.acc.hanging -= walk.safe == 0 ? 19 : 11;
        else if (s.E[sq] >= 0x10000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
    }

    const int file = board::fileOf(sq), rank = board::rankOf(sq);
    const SquareSet fileSet = pawnEvaluator().fileMask[file];
    if ((s.pos.pieceSet[s.c][Pawn] & fileSet) == 0) {
        x += 10;
        if ((s.pos.pieceSet[s.e][Pawn] & fileSet) == 0) x += 4;
    }

    // Rooks belong behind passed pawns of either colour: below a white one, above
    // a black one.
    if (behindPassedPawn<White>(s.pos, file, rank)) x += gamePhase + 8;
    if (behindPassedPawn<Black>(s.pos, file, rank)) x += gamePhase + 8;

    // On the seventh with enemy pawns there, better still doubled with a heavy piece.
    const int seventh = s.c == White ? 6 : 1;
    if (rank == seventh && pawnOnRank(s.pos, s.e, seventh)) {
        x += 5;
        if (s.O[sq] & QueenOrRookCounters) {
            for (int f = 0; f < 8; ++f) {
                const int other = 8 * seventh + f;
                const board::SquareContent c = s.pos.squares[other];
                if (other != sq && c.colour == s.c && (c.piece == Rook || c.piece == Queen)) {
                    x += 30 - gamePhase;
                    break;
                }
            }
        }
    }
    return x + 4 * gamePhase;
}

// The squares along the diagonals or the files and ranks from sq, up to and
// including the first man of each.
SquareSet diagonalReach(int sq, SquareSet occupied) {
    return targets::reach<4>(sq, occupied) | targets::reach<5>(sq, occupied) | targets::reach<6>(sq, occupied) |
           targets::reach<7>(sq, occupied);
}
SquareSet straightReach(int sq, SquareSet occupied) {
    return targets::reach<0>(sq, occupied) | targets::reach<1>(sq, occupied) | targets::reach<2>(sq, occupied) |
           targets::reach<3>(sq, occupied);
}

int queenTerm(Scoring& s, int sq) {
    const SquareSet reach = diagonalReach(sq, s.occupied) | straightReach(sq, s.occupied);
    // Safe: not attacked, or the enemy queen or king to take.
    const SquareSet queenOrKing = s.pos.pieceSet[s.e][Queen] | s.pos.pieceSet[s.e][King];
    const int safe = countToTwo(reach & ~s.own & (~s.enemyAttacks | queenOrKing));
    if (safe < 2) s.acc.mobility += LowMobilityQueen[safe];
    if (s.E[sq] > 0) {
        if (s.O[sq] == 0 || s.E[sq] > 0x1001) s.acc.hanging -= safe == 0 ? 21 : 13;
        else if (s.E[sq] >= 0x1000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
    }
    return distance[sq][s.pos.pieceList[s.e][0]] <= 2 ? 12 : 0;
}

// ---- King --------------------------------------------------------------------
// Squares near the king from which enemy pieces of the matching kind could strike:
// along one family of lines up to the first man, or the knight's jumps.
void countKingLines(const Scoring& s, SquareSet squares, int mask, int& a1, int& a2) {
    for (SquareSet m = squares & ~s.enemy & s.enemyAttacks; m; m &= m - 1) {
        const int t = first(m);
        const int striking = (s.E[t] & mask) != 0;
        a1 += striking;
        a2 += striking & ((s.O[t] == 0) | ((s.E[t] & board::AttackCountMask) > 1));
    }
}

int kingTerm(Scoring& s, int sq) {
    int r;
    const int rightsMask = s.c == White ? 3 : 12;
    if (s.pos.castled[s.c])
        r = 10 - gamePhase;
    else if (s.pos.castleRights & rightsMask)
        r = 0;
    else r = -40 / (gamePhase + 1);

    if (gamePhase < 8) {
        const SquareSet* them = s.pos.pieceSet[s.e];
        int a1 = 0, a2 = 0;
        if (them[Bishop] | them[Queen]) countKingLines(s, diagonalReach(sq, s.occupied), DiagonalCounters, a1, a2);
        if (them[Rook] | them[Queen]) countKingLines(s, straightReach(sq, s.occupied), QueenOrRookCounters, a1, a2);
        if (them[Knight]) countKingLines(s, targets::Sets.knight[sq], KnightCounters, a1, a2);
        r += -2 * a1 + (DangerCurve[a2 < 7 ? a2 : 7] * (8 - gamePhase) * 2) / 16;
    }

    const SquareSet ring = board::kingNeighbours[sq];
    const SquareSet heldSet = ring & s.heldBy[King];
    const int held = heldSet ? countOf(heldSet) : 0;
    // Squares next to the king where the enemy is stronger, worse still when a
    // queen leads the attack on a square our queen does not cover.
    int pressure = 0;
    for (SquareSet m = ring & s.enemyStronger; m; m &= m - 1) {
        const int n = first(m);
        const int queenLed = ((s.E[n] & 0xF000) != 0) & (s.E[n] > 0x1001) & (s.O[n] < 0x1000);
        pressure += 1 + 4 * queenLed;
    }
    r -= 4 * held;
    if (held > 1) s.acc.overload -= 2 * held;
    if (pressure > 1) r += -2 * pressure + (DangerCurve[pressure < 7 ? pressure : 7] * gamePhase) / 10;

    if (s.E[sq] > 0) s.acc.hanging -= (s.O[sq] != 0 && s.E[sq] <= 0x101) ? 6 : 14;
    return r;
}

// A centre pawn still at home behind its own piece shuts in a bishop: e2 behind
// e3, d2 behind d3.
template <int Us>
int blockedCentre(const Position& pos) {
    constexpr int Flip = RankFlip<Us>;
    auto blocked = [&pos](int pawnSquare, int frontSquare) {
        return pawnOf(pos, Us, pawnSquare) && pos.squares[frontSquare].colour == Us &&
               pos.squares[frontSquare].piece != Pawn;
    };
    int penalty = 0;
    if (blocked(12 ^ Flip, 20 ^ Flip)) penalty -= 8;
    if (blocked(11 ^ Flip, 19 ^ Flip)) penalty -= 8;
    return penalty;
}

template <int Us>
int scoreColour(const Position& pos, const BoardSets& sets, PieceTermsTrace* trace) {
    Scoring s = makeScoring(pos, sets, Us);
    int total = pawnTerms<Us>(s, trace);
    auto add = [&](int sq, int term) {
        total += term;
        if (trace) trace->term[sq] = term;
    };
    for (SquareSet m = pos.pieceSet[Us][Knight]; m; m &= m - 1) add(first(m), knightTerm(s, first(m)));
    for (SquareSet m = pos.pieceSet[Us][Bishop]; m; m &= m - 1) add(first(m), bishopTerm(s, first(m)));
    for (SquareSet m = pos.pieceSet[Us][Rook]; m; m &= m - 1) add(first(m), rookTerm(s, first(m)));
    for (SquareSet m = pos.pieceSet[Us][Queen]; m; m &= m - 1) add(first(m), queenTerm(s, first(m)));
    add(pos.pieceList[Us][0], kingTerm(s, pos.pieceList[Us][0]));
    total += s.acc.mobility + s.acc.hanging + s.acc.overload;
    const int centre = blockedCentre<Us>(pos);
    if (trace) {
        trace->mobility = s.acc.mobility;
        trace->hanging = s.acc.hanging;
        trace->overload = s.acc.overload;
        trace->blockedCentre = centre;
        trace->total = total + centre;
    }
    return total + centre;
}

// ---- Passed pawns --------------------------------------------------------------
bool hasPieces(const Position& pos, int colour) {
    const int c8 = 8 * colour;
    return pos.pieceCount[Knight + c8] + pos.pieceCount[Bishop + c8] + pos.pieceCount[Rook + c8] +
               pos.pieceCount[Queen + c8] >
           0;
}

// The front man of a passed file seen from the promotion square; -1 when it is not
// a pawn (a piece stands in the way) or the file is empty.
int frontPawnOfFile(const Position& pos, int colour, int file) {
    const int step = colour == White ? -8 : 8;
    int sq = colour == White ? 56 + file : file;
    for (int i = 0; i < 8; ++i, sq += step) {
        if (pos.squares[sq].colour == NoColour) continue;
        return pos.squares[sq].piece == Pawn ? sq : -1;
    }
    return -1;
}

// The rule of the square: can the enemy king still catch this pawn, counting the
// tempo of the side to move and the double step from the home rank?
bool outOfReach(const Position& pos, int colour, int pawn, int sideToMove) {
    const int file = board::fileOf(pawn);
    const int queening = colour == White ? 56 + file : file;
    const int homeRank = colour == White ? 1 : 6;
    const int d = distance[pawn][queening] - (board::rankOf(pawn) == homeRank ? 1 : 0);
    const int king = pos.pieceList[1 - colour][0];
    if (sideToMove == colour) return distance[king][queening] > d;
    return distance[king][queening] - 1 > d && distance[king][pawn] != 1;
}

int relativeRank(int colour, int square) { return colour == White ? board::rankOf(square) : 7 - board::rankOf(square); }

// A king that may still castle counts half where it stands and, while it may castle
// short, a quarter on the square castling takes it to (g1 or g8).
template <int Us>
int shelterWithRights(const Position& pos, int kingSquare, int rights) {
    constexpr int Short = Us == White ? 1 : 4, Both = Us == White ? 3 : 12;
    constexpr int CastledSquare = Us == White ? 6 : 62;
    if (!(rights & Both)) return shelterScore(pos, kingSquare, Us);
    return shelterScore(pos, kingSquare, Us) / 2 +
           ((rights & Short) ? shelterScore(pos, CastledSquare, Us) / 4 : 0);
}

}  // namespace

void KingShelterCacheState::empty() {
    for (Entry& entry : entries) entry = {0, Unusable};
}

PieceTermsTrace tracePieceTerms(const Position& pos, int colour) {
    PieceTermsTrace trace;
    const BoardSets sets = readBoard(pos);
    if (colour == White) scoreColour<White>(pos, sets, &trace);
    else scoreColour<Black>(pos, sets, &trace);
    return trace;
}

int pieceTerms(const Position& pos, int side) {
    const BoardSets sets = readBoard(pos);
    const int white = scoreColour<White>(pos, sets, nullptr), black = scoreColour<Black>(pos, sets, nullptr);
    return side == White ? white - black : black - white;
}

int passedPawnTerm(const Position& pos, int sideToMove) {
    int sum = 0, average = 0, weight = 0;
    // Late in the endgame a passed pawn far from the other pawns stretches the
    // defending king.
    if (gamePhase > 8) {
        SquareSet pawns = pos.pieceSet[White][Pawn] | pos.pieceSet[Black][Pawn];
        int files = 0, count = 0;
        for (; pawns; pawns &= pawns - 1) {
            files += __builtin_ctzll(pawns) & 7;
            ++count;
        }
        average = count ? (1 + files) / count : 0;
        weight = gamePhase == 10 ? 8 : 4;
    }
    for (int colour = White; colour <= Black; ++colour) {
        const int sign = colour == White ? 1 : -1;
        const bool enemyHasPieces = hasPieces(pos, 1 - colour);
        for (uint32_t files = pawnEvaluator().passedFiles[colour]; files; files &= files - 1) {
            const int file = __builtin_ctz(files);
            if (gamePhase > 8) sum += sign * weight * (average > file ? average - file : file - average);
            const int pawn = frontPawnOfFile(pos, colour, file);
            if (pawn < 0 || !outOfReach(pos, colour, pawn, sideToMove)) continue;
            const int rank = relativeRank(colour, pawn);
            sum += sign * (enemyHasPieces ? gamePhase * PassedEndgameScale[rank] / 10 : UnstoppablePawn[rank]);
        }
    }
    return sideToMove == White ? sum : -sum;
}

int pawnRaceTerm(const Position& pos, int sideToMove) {
    int sum = 0;
    for (int colour = White; colour <= Black; ++colour) {
        for (uint32_t files = pawnEvaluator().passedFiles[colour]; files; files &= files - 1) {
            const int pawn = frontPawnOfFile(pos, colour, __builtin_ctz(files));
            if (pawn < 0 || !outOfReach(pos, colour, pawn, sideToMove)) continue;
            const int value = UnstoppablePawn[relativeRank(colour, pawn)];
            sum += colour == White ? value : -value;
        }
    }
    return sideToMove == White ? sum : -sum;
}

int shelterScore(const Position& pos, int kingSquare, int colour) {
    const int file = board::fileOf(kingSquare), rank = board::rankOf(kingSquare);
    const SquareSet own = pos.pieceSet[colour][Pawn], enemy = pos.pieceSet[1 - colour][Pawn];
    const int forward = colour == White ? 8 : -8;
    // A king that has wandered to its seventh or eighth rank has no shield left.
    const bool shielded = colour == White ? rank < 6 : rank > 1;
    int total = 0;
    for (int f = file - 1; f <= file + 1; ++f) {
        if (f < 0 || f > 7) continue;
        if (shielded) {
            const int front = kingSquare + forward + (f - file);
            if (own & squareBit(front)) total += 10;
            else if (own & squareBit(front + forward)) total += 5;
        }
        if ((own & pawnEvaluator().fileMask[f]) == 0) total -= 15;
        if ((enemy & pawnEvaluator().fileMask[f]) == 0) total -= 8;
    }
    return total;
}

int kingShelterTerm(const Position& pos, int sideToMove) {
    const int whiteKing = pos.pieceList[White][0], blackKing = pos.pieceList[Black][0];
    const int rights = pos.castleRights & 15;
    const uint32_t key = board::castleKeys[rights ^ 15].low ^ board::pieceKeys[King][whiteKing].low ^
                         board::pieceKeys[King + 8][blackKing].low ^ pos.pawnKey;
    KingShelterCacheState::Entry& entry = ThreadKingShelterCache->entries[key & (KingShelterCacheState::Entries - 1)];
    int v;
    if (entry.key == key && entry.value != KingShelterCacheState::Unusable) {
        v = entry.value;
    } else {
        // While castling is still possible, the king's future home counts as well.
        v = shelterWithRights<White>(pos, whiteKing, rights) -
            shelterWithRights<Black>(pos, blackKing, rights);
        entry = {key, v};
    }
    const int scaled = (10 - gamePhase) * v / 10;
    return sideToMove == White ? scaled : -scaled;
}

}  // namespace eval
