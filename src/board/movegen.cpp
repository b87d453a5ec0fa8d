#include "board/movegen.h"

#include <cstring>

#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/target_sets.h"

namespace board {

constinit const OrderingContext EmptyOrdering{};

namespace {

constexpr Move PromotionField = 0x7000;

// Move ordering, in the units of the piece values (a pawn is 100). What the search
// already knows comes first: the hash move above everything, the killers above
// all but the best captures, the best move last found at this ply a little.
constexpr int HashMoveBonus = 10000;
constexpr int Killer1Bonus = 650;
constexpr int Killer2Bonus = 400;
constexpr int PlyBestBonus = 50;
// Taking en passant wins a pawn whose square holds nothing to value.
constexpr int EnPassantBonus = 200;
// Taking back on the square the opponent just took on is nearly always right.
constexpr int RecaptureBonus = 700;
// A promotion gains the new piece less the pawn. Only the queen and the knight
// count: a rook or a bishop does nothing the queen could not do.
constexpr int QueenPromotionGain = 940;
constexpr int KnightPromotionGain = 230;
// History counters are scaled so that the most successful move of a list gets this.
constexpr int HistoryScale = 128;
// Pawn endings: the killer's bonus, and the score of a push with no pawn in front.
constexpr int PawnEndingKillerBonus = 200;
constexpr int FreePawnPushScore = 50;

inline bool isOwn(const Position& pos, int square, int side) { return pos.squares[square].colour == side; }

// The ordering bonus of a move that the search already knows: the hash move,
// then the killers, then the best move last found at this ply.
inline int bonus(const MoveGenWork& genWork, Move key) {
    if (key == genWork.hashMove) return HashMoveBonus;
    if (key == genWork.killer1) return Killer1Bonus;
    if (key == genWork.killer2) return Killer2Bonus;
    if (key == genWork.bestMove) return PlyBestBonus;
    return 0;
}

inline void append(Position& pos, int score, Move move) { appendMove(pos, score, move); }

// The scoring of scoreAndAddMove, inlined into the generators: it runs for every
// move generated.
inline void scoreAndAdd(Position& pos, int from, int to, Move flags) {
    const int piece = pos.squares[from].piece, colour = pos.squares[from].colour, value = pieceValue[piece];
    const Move key = (flags & PromotionField) | Move(to) << 6 | Move(from);
    const bool promotion = piece == Pawn && (rankOf(to) == 0 || rankOf(to) == 7);
    int score = promotion ? 0 : bonus(pos.genWork, key);

    if (flags & MoveCapture) {
        if (pos.isEmpty(to)) {
            score += EnPassantBonus;
        } else {
            score += pos.pieceSquare[pos.squares[to].colour][pos.squares[to].piece][to];
            if (to == pos.genWork.lastTo) score += RecaptureBonus;
        }
    }
    // Danger on the destination: worst when nothing else of ours covers it. A man
    // does not guard the square it moves to, so its own share leaves the defence;
    // attack words compare by their cheapest attackers first, their number last.
    const int attackersOfTo = pos.genWork.opponentMap[to];
    if (attackersOfTo != 0) {
        const int otherDefenders = pos.genWork.ownMap[to] - (attackWeight[piece] + 1);
        if (otherDefenders == 0)
            score -= value >> 1;
        else if (attackersOfTo > otherDefenders)
            score -= value >> 2;
        else
            score -= value >> 3;
    }
    // Escape: a man under attack that is undefended, or attacked by something cheaper.
    const int attackersOfFrom = pos.genWork.opponentMap[from];
    if (attackersOfFrom != 0 && (pos.genWork.ownMap[from] == 0 || attackersOfFrom > attackWeight[piece] + 1))
        score += value >> 2;

    if (promotion) {
        append(pos, score + bonus(pos.genWork, key | 0x5000) + QueenPromotionGain,
               makeMoveWord(from, to, Queen, flags));
        append(pos, score + bonus(pos.genWork, key | 0x4000), makeMoveWord(from, to, Rook, flags));
        append(pos, score + bonus(pos.genWork, key | 0x3000), makeMoveWord(from, to, Bishop, flags));
        append(pos, score + bonus(pos.genWork, key | 0x2000) + KnightPromotionGain,
               makeMoveWord(from, to, Knight, flags));
        return;
    }
    score += pos.pieceSquare[colour][piece][to] - pos.pieceSquare[colour][piece][from];
    if (piece == Pawn && (rankOf(to) == 1 || rankOf(to) == 6)) flags |= MovePawnSeventh;
    append(pos, score, makeMoveWord(from, to, 0, flags));
}

// The list being written, kept in registers while the men are generated: the
// cursor, and the largest history counter of the moves so far.
struct ListWriter {
    ScoredMove* cursor;
    int mostHistory;
};

// What scoring a move reads about the man that makes it, worked out once per man:
// most of a list comes from a few sliders, so the per-move part stays short.
struct Mover {
    int from;
    int value;
    int ownShare;            // what the man adds to our attack word where it attacks
    const int* squareTable;  // its piece-square entries
    int fixed;               // the escape bonus, less the entry of the square it leaves
    bool mayHaveBonus;       // the hash move, a killer or the ply's best move starts here
    const int* history;      // its history counters, by destination
};

// The squares the moves of a known move may start from: where no known move starts,
// the four comparisons of bonus() can be left out.
inline SquareSet bonusOrigins(const MoveGenWork& genWork) {
    SquareSet origins = 0;
    for (const Move known : {genWork.hashMove, genWork.killer1, genWork.killer2, genWork.bestMove})
        if (known != 0) origins |= squareBit(moveFrom(known));
    return origins;
}

[[gnu::always_inline]] inline Mover moverAt(const Position& pos, int s, int from, int piece, SquareSet origins) {
    const int value = pieceValue[piece];
    const int* table = pos.pieceSquare[s][piece];
    // Escape: a man under attack that is undefended, or attacked by something cheaper.
    const int attackersOfFrom = pos.genWork.opponentMap[from];
    const bool escapes =
        (attackersOfFrom != 0) & ((pos.genWork.ownMap[from] == 0) | (attackersOfFrom > attackWeight[piece] + 1));
    return {from,
            value,
            attackWeight[piece] + 1,
            table,
            (escapes ? value >> 2 : 0) - table[from],
            (origins & squareBit(from)) != 0,
            pos.ordering->history[s][from]};
}

// Danger on the destination: worst when nothing else of ours covers it. A man does
// not guard the square it moves to, so its own share leaves the defence; attack
// words compare by their cheapest attackers first, their number last.
[[gnu::always_inline]] inline int danger(const Position& pos, const Mover& m, int to) {
    const int attackersOfTo = pos.genWork.opponentMap[to];
    const int otherDefenders = pos.genWork.ownMap[to] - m.ownShare;
    // Selected, not branched on: whether a square is attacked follows no pattern.
    const int defended = attackersOfTo > otherDefenders ? m.value >> 2 : m.value >> 3;
    const int risk = otherDefenders == 0 ? m.value >> 1 : defended;
    return attackersOfTo == 0 ? 0 : risk;
}

// A move that is no promotion, scored as scoreAndAdd scores it (history aside)
// with the man's own part taken from the mover. Capture: the man on to is taken;
// en passant (a pawn's capture onto an empty square) is scored by scoreAndAdd.
template <bool Capture>
[[gnu::always_inline]] inline void addMove(const Position& pos, ListWriter& out, const Mover& m, int to,
                                           Move flags = 0) {
    int score = m.fixed + m.squareTable[to] - danger(pos, m, to);
    if (m.mayHaveBonus) score += bonus(pos.genWork, Move(to) << 6 | Move(m.from));
    if constexpr (Capture) {
        score += pos.pieceSquare[pos.squares[to].colour][pos.squares[to].piece][to];
        if (to == pos.genWork.lastTo) score += RecaptureBonus;
    }
    const int counter = m.history[to];
    out.mostHistory = counter > out.mostHistory ? counter : out.mostHistory;
    *out.cursor++ = {score, makeMoveWord(m.from, to, 0, flags | (Capture ? MoveCapture : 0))};
}

// A pawn move. A step to the last rank is a promotion and en passant takes a man
// that is not on the destination: both are rare and left to scoreAndAdd.
[[gnu::always_inline]] inline void addPawnMove(Position& pos, ListWriter& out, const Mover& m, int to,
                                               bool capture) {
    const int rank = rankOf(to);
    if (rank == 0 || rank == 7 || (capture && pos.isEmpty(to))) {
        const int counter = m.history[to];
        out.mostHistory = counter > out.mostHistory ? counter : out.mostHistory;
        pos.genWork.cursor = out.cursor;
        scoreAndAdd(pos, m.from, to, capture ? MoveCapture : 0);
        out.cursor = pos.genWork.cursor;
        return;
    }
    const Move seventh = rank == 1 || rank == 6 ? MovePawnSeventh : 0;
    if (capture) addMove<true>(pos, out, m, to, seventh);
    else addMove<false>(pos, out, m, to, seventh);
}

// The moves of a slider along direction D: the empty squares nearest first, then
// the man that ends the ray when it is the opponent's. In single check (Evasion)
// only targets among the allowed squares count.
template <bool Evasion, int D>
[[gnu::always_inline]] inline void slideAlong(const Position& pos, ListWriter& out, const Mover& m,
                                              SquareSet occupied, SquareSet enemies, SquareSet allowed) {
    // The squares up to and including the first man: the empty ones, and that
    // man when he is the opponent's.
    const SquareSet reachable = targets::reach<D>(m.from, occupied);
    SquareSet quiet = reachable & ~occupied;
    if (Evasion) quiet &= allowed;
    targets::forEachAlong<D>(quiet, [&](int to) { addMove<false>(pos, out, m, to); });
    const SquareSet taken = reachable & enemies & (Evasion ? allowed : ~SquareSet(0));
    if (taken) addMove<true>(pos, out, m, __builtin_ctzll(taken));
}

template <bool Evasion, int... D>
[[gnu::always_inline]] inline void slide(const Position& pos, ListWriter& out, const Mover& m, SquareSet occupied,
                                         SquareSet enemies, SquareSet allowed) {
    (slideAlong<Evasion, D>(pos, out, m, occupied, enemies, allowed), ...);
}

// The men of side from the last list slot down, each along its rays. In single
// check (Evasion) only moves to the allowed squares (the evasion marks) remain, en
// passant excepted; a man that reaches none of them is passed over at once.
template <bool Evasion>
void generateMenMoves(Position& pos, ListWriter& out, int s, SquareSet allowed) {
    const int o = 1 - s;
    const SquareSet own = pos.occupiedBy[s], enemies = pos.occupiedBy[o], occupied = own | enemies;
    const SquareSet origins = bonusOrigins(pos.genWork);
    for (int slot = pos.menCount[s]; slot >= 1; --slot) {
        const int f = pos.pieceList[s][slot];
        const int piece = pos.squares[f].piece;
        switch (piece) {
            case Pawn: {
                // Pushes: one step, and the second from the start rank (the chain
                // returns to f when there is none).
                const uint8_t* next = nextSquare[movementIndex[Pawn + 8 * s]][f];
                const int t1 = next[f], t2 = next[t1];
                const bool push1 = pos.isEmpty(t1) && (!Evasion || (allowed & squareBit(t1)));
                const bool push2 = pos.isEmpty(t1) && pos.isEmpty(t2) && (!Evasion || (allowed & squareBit(t2)));
                // Captures towards the a-file first for White, the h-file first for
                // Black; en passant needs no mark.
                const SquareSet reach = targets::Sets.pawnCaptures[s][f];
                const SquareSet captures = reach & enemies & (Evasion ? allowed : ~SquareSet(0));
                const bool enPassant = pos.epSquare != 0 && (reach & squareBit(pos.epSquare));
                if (!(push1 | push2) && !captures && !enPassant) break;
                const Mover m = moverAt(pos, s, f, Pawn, origins);
                if (push1) addPawnMove(pos, out, m, t1, false);
                if (push2) addPawnMove(pos, out, m, t2, false);
                auto capture = [&](int c) {
                    if ((captures & squareBit(c)) || (!(enemies & squareBit(c)) && isEnPassantTarget(pos, c, s)))
                        addPawnMove(pos, out, m, c, true);
                };
                if (s == White) targets::forEachIn<true>(reach, capture);
                else targets::forEachIn<false>(reach, capture);
                break;
            }
            case Knight: {
                const SquareSet reach = targets::Sets.knight[f] & ~own & (Evasion ? allowed : ~SquareSet(0));
                if (!reach) break;
                const Mover m = moverAt(pos, s, f, Knight, origins);
                const targets::OrderedTargets& jumps = targets::Sets.knightOrder[f];
                for (int i = 0; i < jumps.count; ++i) {
                    const int t = jumps.square[i];
                    if (!(reach & squareBit(t))) continue;
                    if (enemies & squareBit(t)) addMove<true>(pos, out, m, t);
                    else addMove<false>(pos, out, m, t);
                }
                break;
            }
            case Bishop:
                if (Evasion && !(targets::Sets.bishopLines[f] & allowed)) break;
                slide<Evasion, 4, 5, 6, 7>(pos, out, moverAt(pos, s, f, Bishop, origins), occupied, enemies, allowed);
                break;
            case Rook:
                if (Evasion && !(targets::Sets.rookLines[f] & allowed)) break;
                slide<Evasion, 0, 1, 2, 3>(pos, out, moverAt(pos, s, f, Rook, origins), occupied, enemies, allowed);
                break;
            case Queen:
                if (Evasion && !((targets::Sets.rookLines[f] | targets::Sets.bishopLines[f]) & allowed)) break;
                slide<Evasion, 0, 1, 2, 3, 4, 5, 6, 7>(pos, out, moverAt(pos, s, f, Queen, origins), occupied,
                                                       enemies, allowed);
                break;
        }
    }
}

// Pawn-ending king moves: to every square of the ring outside the fence.
void pawnEndingKingMoves(Position& pos, int s, SquareSet fence) {
    const int K = pos.pieceList[s][0];
    const uint8_t* ring = nextDirection[King][K];
    for (int t = ring[K]; t != K; t = ring[t]) {
        if (isOwn(pos, t, s) || (fence & squareBit(t))) continue;
        append(pos, pos.pieceSquare[s][King][t] - pos.pieceSquare[s][King][K],
               makeMoveWord(K, t, 0, pos.isEmpty(t) ? 0 : MoveCapture));
    }
}

}  // namespace

// An en passant capture onto c for side: c must be the target square, still empty,
// with the enemy pawn that just stepped past it standing behind it. In play this
// always holds once the target is set; a hand-made position may name a target
// without the pawn, and taking a pawn that is not there would corrupt the board.
bool isEnPassantTarget(const Position& pos, int c, int side) {
    if (c != pos.epSquare || pos.epSquare == 0 || !pos.isEmpty(c)) return false;
    int behind = side == White ? c - 8 : c + 8;
    return pos.squares[behind].piece == Pawn && pos.squares[behind].colour == 1 - side;
}

void appendMove(Position& pos, int score, Move move) {
    ScoredMove* at = pos.genWork.cursor++;
    at->score = score;
    at->move = move;
}

// Black pawn attacks (diagonally below each pawn, no wrap at the edges) and the
// squares next to the black king: where the white king may not go.
SquareSet whiteKingFence(const Position& pos) {
    const SquareSet P = pos.pieceSet[Black][Pawn];
    return ((((P >> 2) & 0x3fbfbfbfbfbfbf80ULL) | (P & 0x7f7f7f7f7f7f7f00ULL)) >> 7) |
           kingNeighbours[pos.pieceList[Black][0]];
}
SquareSet blackKingFence(const Position& pos) {
    const SquareSet W = pos.pieceSet[White][Pawn];
    return ((((W & 0xffff7f7f7f7f7f7fULL) << 2) | (W & 0x00fefefefefefefeULL)) << 7) |
           kingNeighbours[pos.pieceList[White][0]];
}

SquareSet kingFence(const Position& pos, int side) {
    return side == White ? whiteKingFence(pos) : blackKingFence(pos);
}

// A pawn-ending pawn capture. None can land on the last rank: the only enemy man
// that could stand there is the king.
void appendPawnCapture(Position& pos, int f, int t) {
    appendMove(pos, 100, makeMoveWord(f, t, 0, MoveCapture));
}

// In check from a pawn in a pawn ending: the one pawn that can take the checker
// (from two files away on the king's rank), and en passant when the checker has
// just made its double step.
void appendPawnEndingCheckCaptures(Position& pos, int s, int K) {
    const int o = 1 - s, up = s == White ? 8 : -8;
    int checker = -1, capturer = -1;
    const int left = K + up - 1, right = K + up + 1;
    if (fileOf(K) != 0 && left >= 0 && left < 64 && pos.squares[left].piece == Pawn && isOwn(pos, left, o)) {
        checker = left;
        if (fileOf(K) >= 2) capturer = K - 2;
    } else if (fileOf(K) != 7 && right >= 0 && right < 64 && pos.squares[right].piece == Pawn &&
               isOwn(pos, right, o)) {
        checker = right;
        if (fileOf(K) <= 5) capturer = K + 2;
    }
    if (checker < 0) return;
    if (capturer >= 0 && pos.squares[capturer].piece == Pawn && isOwn(pos, capturer, s))
        appendPawnCapture(pos, capturer, checker);
    if (pos.epSquare != 0 && pos.epSquare == checker + up && isEnPassantTarget(pos, pos.epSquare, s)) {
        if (fileOf(pos.epSquare) != 0 && isOwn(pos, checker - 1, s) && pos.squares[checker - 1].piece == Pawn)
            appendMove(pos, 100, makeMoveWord(checker - 1, pos.epSquare, 0, MoveCapture));
        if (fileOf(pos.epSquare) != 7 && isOwn(pos, checker + 1, s) && pos.squares[checker + 1].piece == Pawn)
            appendMove(pos, 100, makeMoveWord(checker + 1, pos.epSquare, 0, MoveCapture));
    }
}

namespace {

// Moves the search knows get their bonus; the whole word must match, flags included.
void pawnEndingBonuses(const Position& pos, ScoredMove* list) {
    const int n = int(pos.genWork.cursor - list);
    if (pos.genWork.hashMove != 0)
        for (int i = 0; i < n; ++i)
            if (list[i].move == pos.genWork.hashMove) {
                list[i].score += HashMoveBonus;
                break;
            }
    for (int i = 0; i < n; ++i)
        if (list[i].move == pos.genWork.killer1) {
            list[i].score += PawnEndingKillerBonus;
            break;
        }
}

// A push is worth 50 when no pawn stands anywhere in front of its new square.
inline int pawnEndingPushScore(const Position& pos, int s, int f, int t) {
    const SquareSet front = s == White ? frontSpanUp[t] : frontSpanDown[t];
    if (!(pos.allPawns & front)) return FreePawnPushScore;
    return pos.pieceSquare[s][Pawn][t] - pos.pieceSquare[s][Pawn][f];
}

}  // namespace

void scoreAndAddMove(Position& pos, int from, int to, Move flags) { scoreAndAdd(pos, from, to, flags); }

void markEvasionSquares(Position& pos, int K, int o) {
    const int kinds = pos.genWork.opponentMap[K] & ~AttackCountMask;
    if (kinds == attackWeight[Pawn]) {
        // The checking pawn stands diagonally in front of the king, seen from o.
        const int towardA = o == White ? K - 9 : K + 7, towardH = o == White ? K - 7 : K + 9;
        if (fileOf(K) != 0 && towardA >= 0 && towardA < 64 && pos.squares[towardA].piece == Pawn &&
            isOwn(pos, towardA, o)) {
            pos.evasionMark[towardA] = pos.ordering->nodeCount;
        } else if (fileOf(K) != 7 && towardH >= 0 && towardH < 64 && pos.squares[towardH].piece == Pawn &&
                   isOwn(pos, towardH, o)) {
            pos.evasionMark[towardH] = pos.ordering->nodeCount;
        }
        return;
    }
    const int type = kinds == attackWeight[Knight] ? Knight
                     : kinds == attackWeight[Rook] ? Rook
                     : kinds == attackWeight[Bishop] ? Bishop
                                                     : Queen;
    const uint8_t* next = nextSquare[type][K];
    const uint8_t* skip = nextDirection[type][K];
    int t = next[K];
    while (t != K) {
        if (pos.isEmpty(t)) {
            t = next[t];
        } else if (isOwn(pos, t, o) && pos.squares[t].piece == type) {
            break;
        } else {
            t = skip[t];
        }
    }
    if (t == K) return;
    if (type == Knight || distance[K][t] == 1) {
        pos.evasionMark[t] = pos.ordering->nodeCount;
        return;
    }
    // A slider: the checker and every square between it and the king.
    const int df = fileOf(t) - fileOf(K), dr = rankOf(t) - rankOf(K);
    const int step = 8 * ((dr > 0) - (dr < 0)) + ((df > 0) - (df < 0));
    for (int x = K + step;; x += step) {
        pos.evasionMark[x] = pos.ordering->nodeCount;
        if (x == t) break;
    }
}

namespace {

// counter * HistoryScale / most for the counters of one list (0 <= counter <= most),
// with the division done once: by a multiplication with 2^47 / most rounded up.
// Exact while counter * HistoryScale * most < 2^47, so for every most up to 2^20,
// well above what the search lets a counter reach; beyond that it divides.
class HistoryScaling {
  public:
    explicit HistoryScaling(int most)
        : most_(most), reciprocal_(((uint64_t(1) << Shift) + uint64_t(most) - 1) / uint64_t(most)) {}
    int operator()(int counter) const {
        if (most_ > ExactUpTo) return counter * HistoryScale / most_;
        return int((uint64_t(counter) * HistoryScale * reciprocal_) >> Shift);
    }

  private:
    static constexpr int Shift = 47;
    static constexpr int ExactUpTo = 1 << 20;
    int most_;
    uint64_t reciprocal_;
};

// The squares whose evasion mark holds the current stamp, as a set. Marks of
// earlier nodes that happen to hold the same stamp count as well, as they always
// have: so every square is looked at.
SquareSet evasionSquares(const Position& pos) {
    const int64_t stamp = pos.ordering->nodeCount;
    SquareSet marked = 0;
#pragma GCC unroll 16
    for (int square = 63; square >= 0; --square) marked = 2 * marked + (pos.evasionMark[square] == stamp);
    return marked;
}

}  // namespace

int generateMoves(Position& pos, ScoredMove* list, int s, int ply) {
    const int o = 1 - s;
    // 1. Work variables for the scoring.
    pos.genWork.cursor = list;
    pos.genWork.ownMap = pos.attackMapOf(s);
    pos.genWork.opponentMap = pos.attackMapOf(o);
    if (ply > 0) {
        pos.genWork.hashMove = pos.ordering->hashMove;
        pos.genWork.killer1 = pos.ordering->killer1[ply];
        pos.genWork.killer2 = pos.ordering->killer2[ply];
        pos.genWork.bestMove = pos.ordering->bestMoveAtPly[ply];
        pos.genWork.lastTo = moveTo(pos.slots[ply - 1].move);
    } else {
        pos.genWork.hashMove = pos.genWork.killer1 = pos.genWork.killer2 = pos.genWork.bestMove = 0;
        pos.genWork.lastTo = 64;
    }
    // 2. Kings and pawns only.
    if (pos.nonPawnMaterial == 0) return generatePawnEndingMoves(pos, list, s);
    ensureAttackMaps(pos);

    // 3-6. The men: all of them, only evasions in single check, none in double check.
    const int K = pos.pieceList[s][0];
    const int checkers = pos.genWork.opponentMap[K];
    ListWriter out{list, 0};
    if (checkers == 0) {
        generateMenMoves<false>(pos, out, s, ~SquareSet(0));
    } else if ((checkers & AttackCountMask) == 1) {
        markEvasionSquares(pos, K, o);
        generateMenMoves<true>(pos, out, s, evasionSquares(pos));
    }
    pos.genWork.cursor = out.cursor;
    int mostHistory = out.mostHistory;

    // 7. The king, never onto an attacked square (it is transparent in the map, so
    // stepping back along a checking line counts as attacked too).
    const int* kingHistory = pos.ordering->history[s][K];
    const targets::OrderedTargets& ring = targets::Sets.kingOrder[K];
    const SquareSet own = pos.occupiedBy[s];
    for (int i = 0; i < ring.count; ++i) {
        const int t = ring.square[i];
        if ((own & squareBit(t)) || pos.genWork.opponentMap[t] != 0) continue;
        if (kingHistory[t] > mostHistory) mostHistory = kingHistory[t];
        scoreAndAdd(pos, K, t, pos.isEmpty(t) ? 0 : MoveCapture);
    }

    // 8. Castling: not out of, through or into check. The rook is not looked for:
    // make clears a right as soon as its king or rook moves or the rook is taken.
    // The king's square is, so that rights a hand-made record states for a king
    // elsewhere cannot send the tests off the board.
    if (checkers == 0 && pos.castleRights != 0 && K == (s == White ? 4 : 60)) {
        const int* opp = pos.genWork.opponentMap;
        if ((pos.castleRights & (s == White ? 1 : 4)) && opp[K + 1] == 0 && opp[K + 2] == 0 &&
            pos.isEmpty(K + 1) && pos.isEmpty(K + 2)) {
            if (kingHistory[K + 2] > mostHistory) mostHistory = kingHistory[K + 2];
            scoreAndAdd(pos, K, K + 2, MoveCastle);
        }
        if ((pos.castleRights & (s == White ? 2 : 8)) && opp[K - 1] == 0 && opp[K - 2] == 0 &&
            pos.isEmpty(K - 1) && pos.isEmpty(K - 2) && pos.isEmpty(K - 3)) {
            if (kingHistory[K - 2] > mostHistory) mostHistory = kingHistory[K - 2];
            scoreAndAdd(pos, K, K - 2, MoveCastle);
        }
    }

    // 9. History, scaled so that the most successful move of this list gets
    // HistoryScale. The generation kept track of the largest counter; counters are
    // never negative, so with none above zero there is nothing to add.
    const int n = int(pos.genWork.cursor - list);
    if (mostHistory > 0) {
        const auto& history = pos.ordering->history[s];
        const HistoryScaling scaling(mostHistory);
        for (int i = 0; i < n; ++i) list[i].score += scaling(history[moveFrom(list[i].move)][moveTo(list[i].move)]);
    }
    return n;
}

int generatePawnEndingMoves(Position& pos, ScoredMove* list, int s) {
    pos.genWork.cursor = list;
    const int K = pos.pieceList[s][0];
    const SquareSet fence = kingFence(pos, s);
    pawnEndingKingMoves(pos, s, fence);

    if (fence & squareBit(K)) {
        // Only a pawn can give check here: take it or step away.
        appendPawnEndingCheckCaptures(pos, s, K);
        if (s == Black) return int(pos.genWork.cursor - list);
        pawnEndingBonuses(pos, list);
        return int(pos.genWork.cursor - list);
    }

    const int o = 1 - s, up = s == White ? 8 : -8;
    const int startRank = s == White ? 1 : 6, lastRankFrom = s == White ? 6 : 1;
    for (int slot = pos.menCount[s]; slot >= 1; --slot) {
        const int f = pos.pieceList[s][slot];
        // A pawn already on its last rank (only in a hand-made position) cannot move.
        if (f + up < 0 || f + up > 63) continue;
        const int t = f + up;
        if (pos.isEmpty(t)) {
            if (rankOf(f) == lastRankFrom) {
                // Promotions, by value: queen, rook, knight, bishop.
                append(pos, 1040, makeMoveWord(f, t, Queen));
                append(pos, 520, makeMoveWord(f, t, Rook));
                append(pos, 330, makeMoveWord(f, t, Knight));
                append(pos, 350, makeMoveWord(f, t, Bishop));
            } else {
                append(pos, pawnEndingPushScore(pos, s, f, t), makeMoveWord(f, t));
                if (rankOf(f) == startRank && pos.isEmpty(t + up))
                    append(pos, pawnEndingPushScore(pos, s, f, t + up), makeMoveWord(f, t + up));
            }
        }
        // Captures: towards the a-file first, then towards the h-file.
        if (fileOf(f) != 0 && (isOwn(pos, t - 1, o) || isEnPassantTarget(pos, t - 1, s)))
            appendPawnCapture(pos, f, t - 1);
        if (fileOf(f) != 7 && (isOwn(pos, t + 1, o) || isEnPassantTarget(pos, t + 1, s)))
            appendPawnCapture(pos, f, t + 1);
    }
    pawnEndingBonuses(pos, list);
    return int(pos.genWork.cursor - list);
}

int generateLegalMoves(Position& pos, ScoredMove* list, int s, int ply) {
    const int o = 1 - s;
    std::memset(pos.evasionMark, 0, sizeof pos.evasionMark);
    buildAttackMaps(pos);
    int n = generateMoves(pos, list, s, 0);

    for (int i = 0; i < n;) {
        makeMove(pos, s, ply, list[i].move);
        // Is our king left en prise? Does the move give check?
        ensureAttackMaps(pos);
        const bool illegal = pos.attackMapOf(o)[pos.pieceList[s][0]] != 0;
        if (!illegal && (pos.attackMapOf(s)[pos.pieceList[o][0]] & AttackCountMask)) list[i].move |= MoveCheck;
        unmakeMove(pos, ply);
        if (illegal)
            list[i] = list[--n];  // the last entry takes its place and is looked at next
        else
            ++i;
    }
    return n;
}

}  // namespace board
