#include "eval/piece_terms.h"

#include "board/attacks.h"
#include "board/board.h"
#include "board/zobrist.h"
#include "eval/pawns.h"
#include "eval/piece_square.h"

namespace eval {

using board::attackWeight;
using board::Bishop;
using board::Black;
using board::distance;
using board::King;
using board::Knight;
using board::nextDirection;
using board::nextSquare;
using board::NoColour;
using board::Pawn;
using board::Position;
using board::Queen;
using board::Rook;
using board::White;

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

// Everything one side's terms read: the position, its colour, the two maps, the
// accumulators.
struct Scoring {
    const Position& pos;
    int c;
    int e;
    const int* O;
    const int* E;
    Accumulators acc;
};

bool isOwn(const Scoring& s, int square) { return s.pos.squares[square].colour == s.c; }
bool isEnemy(const Scoring& s, int square) { return s.pos.squares[square].colour == s.e; }
bool pawnOf(const Position& pos, int colour, int square) {
    return pos.squares[square].piece == Pawn && pos.squares[square].colour == colour;
}
// Squares below are named as White sees the board; Black's lie on the same files
// with the ranks turned over (square ^ RankFlip<Black>).
template <int Us>
constexpr int RankFlip = Us == White ? 0 : 56;

// A piece of kind k holds the own man on d when the man is attacked, no attacker is
// of its kind or cheaper, the defence holds, and would fall without this piece.
bool holds(const Scoring& s, int k, int d) {
    int e = s.E[d], o = s.O[d];
    return e > 0 && e < attackWeight[s.pos.squares[d].piece] && o >= e && o - (attackWeight[k] + 1) < e;
}

void chargeOverload(Scoring& s, int held) {
    if (held == 1) s.acc.overload -= 4;
    else if (held > 1) s.acc.overload -= 6 * held;
}

// No enemy pawn can ever attack the square.
bool outsideEnemySpan(const Scoring& s, int square) {
    return (PawnEvaluator.frontAttackSpan[s.e] & squareBit(square)) == 0;
}

// ---- Pawns -------------------------------------------------------------------
int pawnTerm(Scoring& s, int sq) {
    const int m = board::movementIndex[Pawn + 8 * s.c];
    const int push = nextSquare[m][sq][sq];
    int mobility = (push != sq && s.pos.isEmpty(push) && s.O[push] >= s.E[push]) ? 1 : 0;
    int held = 0;
    for (int a = nextDirection[m][sq][sq]; a != sq; a = nextDirection[m][sq][a]) {
        if (isEnemy(s, a)) ++mobility;
        else if (isOwn(s, a) && holds(s, Pawn, a)) ++held;
    }
    if (mobility == 0) s.acc.mobility -= 4;
    chargeOverload(s, held);

    if (s.E[sq] > 0) {
        if (s.O[sq] == 0 || s.E[sq] > 0x10000001) {
            s.acc.hanging -= 8;
            if (mobility == 0) s.acc.hanging -= 8;
        } else if (s.E[sq] > s.O[sq]) {
            s.acc.hanging -= 6;
        }
    }
    int r = gamePhase;
    // A weak pawn under several attackers is a target the enemy already works on.
    if (PawnEvaluator.weakFiles[s.c] & (1u << board::fileOf(sq))) r -= 5 * (s.E[sq] & board::AttackCountMask);
    return r;
}

// ---- Knights and bishops -------------------------------------------------------
// Attacked minor pieces: undefended, or attacked by a pawn or two pieces, is worse.
void chargeMinorHanging(Scoring& s, int sq, int safe) {
    if (s.E[sq] <= 0) return;
    if (s.O[sq] == 0 || s.E[sq] > 0x100001) s.acc.hanging -= safe == 0 ? 18 : 10;
    else if (s.E[sq] >= 0x100000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
}

int knightTerm(Scoring& s, int sq) {
    int safe = 0, held = 0;
    for (int t = nextDirection[Knight][sq][sq]; t != sq; t = nextDirection[Knight][sq][t]) {
        if (isOwn(s, t)) {
            if (holds(s, Knight, t)) ++held;
        } else if (s.E[t] == 0 || (isEnemy(s, t) && s.pos.squares[t].piece >= Knight)) {
            ++safe;
        }
    }
    if (safe < 2) s.acc.mobility += LowMobility[safe];
    chargeOverload(s, held);
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

struct SliderResult {
    int pins;
    int safe;
};

// Walks a bishop's or rook's rays. The first man on a ray may be a blocker: what
// stands behind it tells a pin (enemy blocker) or a discovered attack (own one).
SliderResult sliderWalk(Scoring& s, int sq, int kind) {
    const int threshold = kind == Bishop ? 2 : 4;
    const uint8_t* next = nextSquare[kind][sq];
    const uint8_t* skip = nextDirection[kind][sq];
    int moves = 0, safe = 0, pins = 0, held = 0;
    int blocker = -1;
    int t = next[sq];
    while (t != sq) {
        const board::SquareContent c = s.pos.squares[t];
        if (c.colour == NoColour) {
            ++moves;
            if (s.E[t] == 0) ++safe;
            if (next[t] == skip[t]) blocker = -1;
            t = next[t];
        } else if (blocker < 0) {
            if (c.colour == s.c) {
                if (holds(s, kind, t)) ++held;
            } else if (c.piece >= threshold) {
                ++safe;
            }
            if (c.piece == Pawn || c.piece == King) {
                t = skip[t];
            } else {
                if (next[t] != skip[t]) blocker = t;
                t = next[t];
            }
        } else {
            if (c.colour == s.e && (c.piece > kind || s.E[t] == 0)) {
                const board::SquareContent b = s.pos.squares[blocker];
                if (b.colour == s.e) {
                    pins += 10;
                    if (s.E[blocker] == 0 || s.O[blocker] > attackWeight[b.piece] + 1) pins += 5;
                } else {
                    pins += 8;
                }
            }
            blocker = -1;
            t = next[t];
        }
    }
    chargeOverload(s, held);
    if (safe < 2) s.acc.mobility += LowMobility[safe];
    if (kind == Bishop) s.acc.mobility += moves > 9 ? 18 : 2 * moves;
    else s.acc.mobility += moves > 7 ? 14 : 2 * moves;
    return {pins, safe};
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
    SliderResult walk = sliderWalk(s, sq, Bishop);
    chargeMinorHanging(s, sq, walk.safe);
    int x = walk.pins;

    if (s.c == White ? trappedBishop<White>(s.pos, sq) : trappedBishop<Black>(s.pos, sq)) x -= 120;
    int r = gamePhase + x;
    if (outsideEnemySpan(s, sq)) r += (gamePhase + 6) / 2;
    return r;
}

// ---- Rooks and queens ----------------------------------------------------------
bool pawnOnRank(const Position& pos, int colour, int rank) {
    return (pos.pawnSet[colour] & (SquareSet(0xFF) << (8 * rank))) != 0;
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
    if (!(PawnEvaluator.passedFiles[Us] & (1u << file))) return false;
    const int front =
        Us == White ? firstPawnOnFile(pos, file, 6, 1, -1) : firstPawnOnFile(pos, file, 1, 6, 1);
    return front >= 0 && (Us == White ? rank < front : rank > front);
}

int rookTerm(Scoring& s, int sq) {
    SliderResult walk = sliderWalk(s, sq, Rook);
    int x = walk.pins;
    if (s.E[sq] > 0) {
        if (s.O[sq] == 0 || s.E[sq] > 0x10001) s.acc.hanging -= walk.safe == 0 ? 19 : 11;
        else if (s.E[sq] >= 0x10000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
    }

    const int file = board::fileOf(sq), rank = board::rankOf(sq);
    const SquareSet fileSet = PawnEvaluator.fileMask[file];
    if ((s.pos.pawnSet[s.c] & fileSet) == 0) {
        x += 10;
        if ((s.pos.pawnSet[s.e] & fileSet) == 0) x += 4;
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

int queenTerm(Scoring& s, int sq) {
    const uint8_t* next = nextSquare[Queen][sq];
    const uint8_t* skip = nextDirection[Queen][sq];
    int safe = 0;
    for (int t = next[sq]; t != sq && safe < 2;) {
        const board::SquareContent c = s.pos.squares[t];
        if (c.colour != s.c && (s.E[t] == 0 || (c.colour == s.e && c.piece >= Queen))) ++safe;
        t = c.colour == NoColour ? next[t] : skip[t];
    }
    if (safe < 2) s.acc.mobility += LowMobilityQueen[safe];
    if (s.E[sq] > 0) {
        if (s.O[sq] == 0 || s.E[sq] > 0x1001) s.acc.hanging -= safe == 0 ? 21 : 13;
        else if (s.E[sq] >= 0x1000 || s.O[sq] < PawnAttacker) s.acc.hanging -= 6;
    }
    return distance[sq][s.pos.pieceList[s.e][0]] <= 2 ? 12 : 0;
}

// ---- King --------------------------------------------------------------------
// Squares near the king from which enemy pieces of the matching kind could strike,
// along one family of rays up to the first man (or the knight's jumps).
void countKingLines(const Scoring& s, int sq, int movement, int mask, bool slide, int& a1, int& a2) {
    const uint8_t* next = nextSquare[movement][sq];
    const uint8_t* skip = nextDirection[movement][sq];
    for (int t = slide ? next[sq] : skip[sq]; t != sq;) {
        const board::SquareContent c = s.pos.squares[t];
        if (c.colour != s.e && (s.E[t] & mask)) {
            ++a1;
            if (s.O[t] == 0 || (s.E[t] & board::AttackCountMask) > 1) ++a2;
        }
        t = (slide && c.colour == NoColour) ? next[t] : skip[t];
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
        const int e8 = 8 * s.e;
        int a1 = 0, a2 = 0;
        if (s.pos.pieceCount[Bishop + e8] + s.pos.pieceCount[Queen + e8] > 0)
            countKingLines(s, sq, Bishop, DiagonalCounters, true, a1, a2);
        if (s.pos.pieceCount[Rook + e8] + s.pos.pieceCount[Queen + e8] > 0)
            countKingLines(s, sq, Rook, QueenOrRookCounters, true, a1, a2);
        if (s.pos.pieceCount[Knight + e8] > 0) countKingLines(s, sq, Knight, KnightCounters, false, a1, a2);
        r += -2 * a1 + (DangerCurve[a2 < 7 ? a2 : 7] * (8 - gamePhase) * 2) / 16;
    }

    int held = 0, pressure = 0;
    for (int n = nextDirection[King][sq][sq]; n != sq; n = nextDirection[King][sq][n]) {
        if (isOwn(s, n) && holds(s, King, n)) ++held;
        if (s.E[n] > s.O[n]) {
            ++pressure;
            if ((s.E[n] & 0xF000) && s.E[n] > 0x1001 && s.O[n] < 0x1000) pressure += 4;
        }
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

int scoreColour(const Position& pos, int colour, PieceTermsTrace* trace) {
    Scoring s{pos, colour, 1 - colour, pos.attackMapOf(colour), pos.attackMapOf(1 - colour), {}};
    int total = 0;
    for (int slot = pos.menCount[colour]; slot >= 0; --slot) {
        const int sq = pos.pieceList[colour][slot];
        int term = 0;
        switch (pos.squares[sq].piece) {
            case Pawn: term = pawnTerm(s, sq); break;
            case Knight: term = knightTerm(s, sq); break;
            case Bishop: term = bishopTerm(s, sq); break;
            case Rook: term = rookTerm(s, sq); break;
            case Queen: term = queenTerm(s, sq); break;
            case King: term = kingTerm(s, sq); break;
            default: break;
        }
        total += term;
        if (trace) trace->term[sq] = term;
    }
    total += s.acc.mobility + s.acc.hanging + s.acc.overload;
    const int beforeCentre = total;

    total += colour == White ? blockedCentre<White>(pos) : blockedCentre<Black>(pos);
    if (trace) {
        trace->mobility = s.acc.mobility;
        trace->hanging = s.acc.hanging;
        trace->overload = s.acc.overload;
        trace->blockedCentre = total - beforeCentre;
        trace->total = total;
    }
    return total;
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
    scoreColour(pos, colour, &trace);
    return trace;
}

int pieceTerms(const Position& pos, int side) {
    const int white = scoreColour(pos, White, nullptr), black = scoreColour(pos, Black, nullptr);
    return side == White ? white - black : black - white;
}

int passedPawnTerm(const Position& pos, int sideToMove) {
    int sum = 0, average = 0, weight = 0;
    // Late in the endgame a passed pawn far from the other pawns stretches the
    // defending king.
    if (gamePhase > 8) {
        SquareSet pawns = pos.pawnSet[White] | pos.pawnSet[Black];
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
        for (uint32_t files = PawnEvaluator.passedFiles[colour]; files; files &= files - 1) {
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
        for (uint32_t files = PawnEvaluator.passedFiles[colour]; files; files &= files - 1) {
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
    const SquareSet own = pos.pawnSet[colour], enemy = pos.pawnSet[1 - colour];
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
        if ((own & PawnEvaluator.fileMask[f]) == 0) total -= 15;
        if ((enemy & PawnEvaluator.fileMask[f]) == 0) total -= 8;
    }
    return total;
}

int kingShelterTerm(const Position& pos, int sideToMove) {
    const int whiteKing = pos.pieceList[White][0], blackKing = pos.pieceList[Black][0];
    const int rights = pos.castleRights & 15;
    const uint32_t key = board::castleKeys[rights ^ 15].low ^ board::pieceKeys[King][whiteKing].low ^
                         board::pieceKeys[King + 8][blackKing].low ^ pos.pawnKey;
    KingShelterCacheState::Entry& entry = KingShelterCache.entries[key & (KingShelterCacheState::Entries - 1)];
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
