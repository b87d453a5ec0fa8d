#include "board/movegen_tactical.h"

#include <cstdio>
#include <initializer_list>

#include "base/log.h"
#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/target_sets.h"

namespace board {


namespace {

constexpr Move QueenPromotion = Move(Queen) << 12;

// Kind fields of an attack word.
constexpr int KnightField = 0xf000000, BishopField = 0xf00000, RookField = 0xf0000, QueenField = 0xf000;

// Capture ordering, in the units of the piece values: the man taken first; the
// killers and the best move last found at this ply still lead, a recapture on the
// square just taken on and a queen promotion (the queen less the pawn) come next.
constexpr int CaptureKiller1Bonus = 1000;
constexpr int CaptureKiller2Bonus = 200;
constexpr int CapturePlyBestBonus = 50;
constexpr int CaptureRecaptureBonus = 400;
constexpr int QueenPromotionGain = 940;
// Safe checks come before every capture: queen checks first, then the others. In
// the list of checks alone, rook checks and checking captures by a rook or bishop
// come last. A capture that also checks is raised by the boost.
constexpr int QueenCheckScore = 5000;
constexpr int CheckScore = 4000;
constexpr int LateCheckScore = 3000;
constexpr int QueenCheckBoost = 4000;
constexpr int CheckBoost = 3000;

bool isOwn(const Position& pos, int square, int side) { return pos.squares[square].colour == side; }

// Does the other side attack the square? From its map when the maps are current,
// otherwise asked of the board, which for a handful of squares is cheaper than two
// whole maps.
template <bool Maps>
bool opponentCovers(const Position& pos, int square) {
    if constexpr (Maps) return pos.genWork.opponentMap[square] != 0;
    else return isAttackedBy(pos, pos.genWork.opponentSide, square);
}

// May a man of this kind give a safe check from t? own and opp are the attack words
// of the checking side and of the defender on t.
bool qualifies(const Position& pos, int kind, int t) {
    const int own = pos.genWork.ownMap[t], opp = pos.genWork.opponentMap[t];
    switch (kind) {
        case Knight: return (own & KnightField) && own - 0x1000001 >= opp;
        case Queen: return (own & QueenField) && (opp == 0 || (own > 0x1001 && opp <= 0x101));
        case Rook: return (own & RookField) && (opp == 0 || (own > 0x10001 && opp <= 0x101));
        case Bishop: return (own & BishopField) && (opp == 0 || (own > 0x100001 && opp <= 0x101));
        default: return false;
    }
}

// Adds bonus to every entry so far that moves a man of kind to t: a capture there
// that also gives check.
void boostEntries(const Position& pos, ScoredMove* list, int t, int kind, int bonus) {
    for (ScoredMove* e = list; e < pos.genWork.cursor; ++e)
        if (moveTo(e->move) == t && pos.squares[moveFrom(e->move)].piece == kind) e->score += bonus;
}

// side's first knight, from the last list slot down, that jumps to t.
int knightReaching(const Position& pos, int side, int t) {
    for (int slot = pos.menCount[side]; slot >= 1; --slot) {
        const int k = pos.pieceList[side][slot];
        if (pos.squares[k].piece == Knight && knightPair[t][k]) return k;
    }
    return -1;
}

int sliderReaching(const Position& pos, int side, int t, int kind) {
    return kind == Rook ? findRookReaching(pos, side, t) : findPieceReaching(pos, side, t, kind);
}

// The checks of side against the enemy king. For the capture list (checksOnly
// false) a check onto an occupied square boosts the captures already listed; for
// the check list it becomes a capture entry of its own.
void appendChecks(Position& pos, ScoredMove* list, int s, bool checksOnly) {
    const int o = 1 - s, Ko = pos.pieceList[o][0];
    const int s8 = 8 * s;

    auto offer = [&](int kind, int t, int from, int quietScore, int captureScore, int boost) {
        if (pos.isEmpty(t)) {
            if (from >= 0) appendMove(pos, quietScore, makeMoveWord(from, t));
        } else if (!checksOnly) {
            boostEntries(pos, list, t, kind, boost);
        } else if (isOwn(pos, t, o) && from >= 0) {
            appendMove(pos, captureScore, makeMoveWord(from, t, 0, MoveCapture));
        }
    };

    if (pos.pieceCount[Knight + s8]) {
        const uint8_t* ring = nextDirection[Knight][Ko];
        for (int t = ring[Ko]; t != Ko; t = ring[t])
            if (qualifies(pos, Knight, t))
                offer(Knight, t, knightReaching(pos, s, t), CheckScore, CheckScore, CheckBoost);
    }
    // Lines through the enemy king: the queen first at each square, then the rook
    // (or the bishop on the diagonals).
    for (int lineKind : {Rook, Bishop}) {
        if (!pos.pieceCount[Queen + s8] && !pos.pieceCount[lineKind + s8]) continue;
        const uint8_t* next = nextSquare[lineKind][Ko];
        const uint8_t* skip = nextDirection[lineKind][Ko];
        // The next square along the line, or the next line after a man: selected,
        // not branched on.
        for (int t = next[Ko]; t != Ko;) {
            if (qualifies(pos, Queen, t))
                offer(Queen, t, sliderReaching(pos, s, t, Queen), QueenCheckScore, QueenCheckScore,
                      QueenCheckBoost);
            if (qualifies(pos, lineKind, t)) {
                const int quiet = lineKind == Rook ? (checksOnly ? LateCheckScore : CheckScore) : CheckScore;
                offer(lineKind, t, sliderReaching(pos, s, t, lineKind), quiet, LateCheckScore, CheckBoost);
            }
            const int empty = -int(pos.isEmpty(t));
            t = (next[t] & empty) | (skip[t] & ~empty);
        }
    }
}

}  // namespace

namespace {

// Scores one capture or queen promotion and appends it; Maps: the maps are current
// (known to the whole list, so that no capture asks again).
template <bool Maps>
void scoreAndAdd(Position& pos, int from, int to, Move flags) {
    const int piece = pos.squares[from].piece;
    const Move key = (flags & 0x7000) | Move(to) << 6 | Move(from);
    int score = 0;
    if (key == pos.genWork.killer1)
        score = CaptureKiller1Bonus;
    else if (key == pos.genWork.killer2)
        score = CaptureKiller2Bonus;
    else if (key == pos.genWork.bestMove)
        score = CapturePlyBestBonus;

    if (flags & MoveCapture) {
        score += pieceValue[pos.squares[to].piece];
        if (to == pos.genWork.lastTo) score += CaptureRecaptureBonus;
    }
    if (piece == Pawn) {
        if (rankOf(to) == 1 || rankOf(to) == 6) flags |= MovePawnSeventh;
        else if (flags & QueenPromotion) score += QueenPromotionGain;
    }
    // A capture onto a defended square risks the capturer: all of it, or half when
    // another of ours covers the square too. From the maps that is two reads and a
    // selection; without them the board is asked only when the square is covered.
    const int value = pieceValue[piece];
    if constexpr (Maps) {
        const int risk = (pos.genWork.ownMap[to] & AttackCountMask) > 1 ? value / 2 : value;
        score -= opponentCovers<true>(pos, to) ? risk : 0;
    } else if (opponentCovers<false>(pos, to)) {
        score -= attackCount(pos, 1 - pos.genWork.opponentSide, to) > 1 ? value / 2 : value;
    }
    appendMove(pos, score, Move(from) | Move(to) << 6 | flags);
}

}  // namespace

void scoreAndAddCapture(Position& pos, int from, int to, Move flags) {
    if (pos.attackMapsCurrent()) scoreAndAdd<true>(pos, from, to, flags);
    else scoreAndAdd<false>(pos, from, to, flags);
}

namespace {

// The captures of a man on from whose targets come in a fixed order (a knight):
// the ordered list of its targets, the enemy men among them as a set.
template <bool Maps>
void takeListed(Position& pos, int from, const targets::OrderedTargets& order, SquareSet victims) {
    if (!victims) return;
    for (int i = 0; i < order.count; ++i)
        if (victims & squareBit(order.square[i])) scoreAndAdd<Maps>(pos, from, order.square[i], MoveCapture);
}

// A pawn's captures: towards the a-file first for White (square numbers going up),
// towards the h-file first for Black (going down).
template <bool Maps>
void takeInOrder(Position& pos, int from, SquareSet victims, bool ascending) {
    auto take = [&](int to) { scoreAndAdd<Maps>(pos, from, to, MoveCapture); };
    if (ascending) targets::forEachIn<true>(victims, take);
    else targets::forEachIn<false>(victims, take);
}

// A slider's captures: along each of its directions in the ray tables' order, the
// first man on the ray when it is the opponent's.
template <bool Maps, int... D>
void takeAlong(Position& pos, int from, SquareSet occupied, SquareSet enemies) {
    // One test per ray: an empty ray gives a stand-in square that is not on it.
    auto alongOne = [&]<int Direction>() {
        const SquareSet onRay = targets::Sets.ray[from][Direction] & occupied;
        const int to = targets::nearestOrEnd<Direction>(onRay);
        if (enemies & onRay & squareBit(to)) scoreAndAdd<Maps>(pos, from, to, MoveCapture);
    };
    (alongOne.template operator()<D>(), ...);
}

constexpr SquareSet FileA = 0x0101010101010101ull, FileH = FileA << 7;
constexpr SquareSet FilesAB = FileA | FileA << 1, FilesGH = FileH | FileH >> 1;

// The squares a knight on any square of set jumps to.
SquareSet knightJumps(SquareSet set) {
    const SquareSet notA = set & ~FileA, notH = set & ~FileH, notAB = set & ~FilesAB, notGH = set & ~FilesGH;
    return notH << 17 | notA << 15 | notGH << 10 | notAB << 6 | notA >> 17 | notH >> 15 | notAB >> 10 | notGH >> 6;
}

// Pawns and knights of side that have nothing to take, and pawns short of the
// seventh rank (which promote): the capture list passes over them at once. Most
// men of a position are such pawns and knights.
SquareSet idleMen(const Position& pos, int s, SquareSet enemies) {
    const SquareSet pawns = pos.pieceSet[s][Pawn], knights = pos.pieceSet[s][Knight];
    const SquareSet seventhRank = SquareSet(0xFF) << (s == White ? 48 : 8);
    const SquareSet taking = s == White ? (((enemies & ~FileH) >> 7) | ((enemies & ~FileA) >> 9))
                                        : (((enemies & ~FileA) << 7) | ((enemies & ~FileH) << 9));
    return (pawns & ~seventhRank & ~taking) | (knights & ~knightJumps(enemies));
}

}  // namespace

namespace {

// The captures of side's men in list order, then the king's; Maps: the maps are
// current.
template <bool Maps>
void addCaptures(Position& pos, int s) {
    const int o = 1 - s;
    const int seventh = s == White ? 6 : 1;
    const SquareSet enemies = pos.occupiedBy[o], occupied = enemies | pos.occupiedBy[s];
    // The men that may take something, in list order, gathered without branches.
    const SquareSet idle = idleMen(pos, s, enemies);
    int active[16];
    int count = 0;
    for (int slot = 1; slot <= pos.menCount[s]; ++slot) {
        const int f = pos.pieceList[s][slot];
        active[count] = f;
        count += int(((idle >> f) & 1) ^ 1);
    }
    for (int k = 0; k < count; ++k) {
        const int f = active[k];
        switch (pos.squares[f].piece) {
            case Pawn:
                if (rankOf(f) == seventh) {
                    // Only queen promotions: the others rarely matter at the horizon.
                    const uint8_t* next = nextSquare[movementIndex[Pawn + 8 * s]][f];
                    const uint8_t* skip = nextDirection[movementIndex[Pawn + 8 * s]][f];
                    for (int c = skip[f]; c != f; c = skip[c])
                        if (isOwn(pos, c, o)) scoreAndAdd<Maps>(pos, f, c, MoveCapture | QueenPromotion);
                    if (pos.isEmpty(next[f]) && next[f] != f) scoreAndAdd<Maps>(pos, f, next[f], QueenPromotion);
                } else {
                    takeInOrder<Maps>(pos, f, targets::Sets.pawnCaptures[s][f] & enemies, s == White);
                }
                break;
            case Knight:
                takeListed<Maps>(pos, f, targets::Sets.knightOrder[f], targets::Sets.knight[f] & enemies);
                break;
            case Bishop: takeAlong<Maps, 4, 5, 6, 7>(pos, f, occupied, enemies); break;
            case Rook: takeAlong<Maps, 0, 1, 2, 3>(pos, f, occupied, enemies); break;
            case Queen: takeAlong<Maps, 0, 1, 2, 3, 4, 5, 6, 7>(pos, f, occupied, enemies); break;
        }
    }
    // The king takes only men nobody defends.
    const int K = pos.pieceList[s][0];
    const SquareSet nextToKing = targets::Sets.king[K] & enemies;
    if (nextToKing) {
        const targets::OrderedTargets& ring = targets::Sets.kingOrder[K];
        for (int i = 0; i < ring.count; ++i) {
            const int t = ring.square[i];
            if ((nextToKing & squareBit(t)) && !opponentCovers<Maps>(pos, t)) scoreAndAdd<Maps>(pos, K, t, MoveCapture);
        }
    }
}

}  // namespace

int generateCaptures(Position& pos, ScoredMove* list, int s, int ply, bool withChecks) {
    const int o = 1 - s;
    pos.genWork.cursor = list;
    pos.genWork.ownMap = pos.attackMapOf(s);
    pos.genWork.opponentMap = pos.attackMapOf(o);
    pos.genWork.opponentSide = o;
    pos.genWork.killer1 = pos.ordering->killer1[ply];
    pos.genWork.killer2 = pos.ordering->killer2[ply];
    pos.genWork.bestMove = pos.ordering->bestMoveAtPly[ply];
    pos.genWork.lastTo = ply > 0 ? moveTo(pos.slots[ply - 1].move) : 64;
    if (pos.nonPawnMaterial == 0) return generatePawnEndingCaptures(pos, list, s);
    // Captures alone read a few squares; checks read the lines round the king.
    if (withChecks) ensureAttackMaps(pos);
    if (pos.attackMapsCurrent()) addCaptures<true>(pos, s);
    else addCaptures<false>(pos, s);

    const int K = pos.pieceList[s][0];
    if (withChecks && pos.genWork.opponentMap[K] == 0) appendChecks(pos, list, s, false);
    return int(pos.genWork.cursor - list);
}

int generatePawnEndingCaptures(Position& pos, ScoredMove* list, int s) {
    const int o = 1 - s;
    pos.genWork.cursor = list;
    const int K = pos.pieceList[s][0];
    const SquareSet fence = kingFence(pos, s);
    const uint8_t* ring = nextDirection[King][K];
    for (int t = ring[K]; t != K; t = ring[t])
        if (isOwn(pos, t, o) && !(fence & squareBit(t)))
            appendMove(pos, 100, makeMoveWord(K, t, 0, MoveCapture));

    if (fence & squareBit(K)) {
        appendPawnEndingCheckCaptures(pos, s, K);
        return int(pos.genWork.cursor - list);
    }
    const int up = s == White ? 8 : -8, lastRankFrom = s == White ? 6 : 1;
    for (int slot = pos.menCount[s]; slot >= 1; --slot) {
        const int f = pos.pieceList[s][slot];
        if (f + up < 0 || f + up > 63) continue;  // a pawn on its last rank (hand-made)
        const int t = f + up;
        if (rankOf(f) == lastRankFrom && pos.isEmpty(t)) {
            appendMove(pos, 1040, makeMoveWord(f, t, Queen));
            appendMove(pos, 520, makeMoveWord(f, t, Rook));
            appendMove(pos, 330, makeMoveWord(f, t, Knight));
            appendMove(pos, 350, makeMoveWord(f, t, Bishop));
        }
        if (fileOf(f) != 0 && isOwn(pos, t - 1, o)) appendPawnCapture(pos, f, t - 1);
        if (fileOf(f) != 7 && isOwn(pos, t + 1, o)) appendPawnCapture(pos, f, t + 1);
    }
    return int(pos.genWork.cursor - list);
}

int generateChecks(Position& pos, ScoredMove* list, int s) {
    ensureAttackMaps(pos);
    pos.genWork.cursor = list;
    pos.genWork.ownMap = pos.attackMapOf(s);
    pos.genWork.opponentMap = pos.attackMapOf(1 - s);
    appendChecks(pos, list, s, true);
    return int(pos.genWork.cursor - list);
}

int findPieceReaching(const Position& pos, int s, int t, int kind) {
    for (int slot = pos.menCount[s]; slot >= 1; --slot) {
        const int q = pos.pieceList[s][slot];
        if (pos.squares[q].piece != kind) continue;
        const uint8_t* next = nextSquare[kind][q];
        const uint8_t* skip = nextDirection[kind][q];
        for (int x = next[q]; x != q; x = pos.isEmpty(x) ? next[x] : skip[x])
            if (x == t) return q;
    }
    // Only maps that do not match the board get here. The note goes to the log: a
    // stray text on standard output would corrupt the next protocol line.
    char text[64];
    std::snprintf(text, sizeof text, "bug multitosq, %d, %d", kind, t);
    base::logLine(text);
    return -1;
}

int findRookReaching(const Position& pos, int s, int t) {
    for (int slot = pos.menCount[s]; slot >= 1; --slot) {
        const int q = pos.pieceList[s][slot];
        if (pos.squares[q].piece != Rook) continue;
        int step = 0;
        if (fileOf(q) == fileOf(t)) step = q < t ? 8 : -8;
        else if (rankOf(q) == rankOf(t)) step = q < t ? 1 : -1;
        if (step == 0 || q == t) continue;
        bool clear = true;
        for (int x = q + step; x != t; x += step)
            if (!pos.isEmpty(x)) {
                clear = false;
                break;
            }
        if (clear) return q;
    }
    return -1;
}

}  // namespace board
