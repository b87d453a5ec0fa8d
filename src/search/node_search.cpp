#include "search/node_search.h"

#include <cstring>

#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/movegen_tactical.h"
#include "eval/evaluate.h"
#include "eval/piece_square.h"
#include "search/limits.h"
#include "search/root_search.h"
#include "search/time_manager.h"
#include "search/transposition.h"

namespace search {

constinit board::OrderingContext Ordering{};
constinit board::ScoredMove moveList[MoveListCapacity + MoveListSlack]{};
constinit board::Move rootPV[RootLineLength]{};

void clearSearchTables() {
    std::memset(history, 0, sizeof history);
    std::memset(killer1, 0, sizeof killer1);
    std::memset(killer2, 0, sizeof killer2);
    std::memset(bestMoveAtPly, 0, sizeof bestMoveAtPly);
    std::memset(rootPV, 0, sizeof rootPV);
    std::memset(moveList, 0, sizeof moveList);
    nodeCount = 0;
    hashMove = 0;
}

bool prepareSearch(int side) {
    const bool usable = eval::prepareRoot(side);
    board::ordering = &Ordering;
    clearSearchTables();
    return usable;
}


// ---- The node search ------------------------------------------------------------

using board::attackMap;
using board::HashKey;
using board::Move;
using board::plyState;
using board::positionKey;
using board::ScoredMove;
using board::squares;

constinit board::Move pvAtPly[MaxPly][LineLength]{};
constinit int pollCounter = 0;
constinit const board::HashKey* gameKeysBegin = nullptr;
constinit const board::HashKey* gameKeysEnd = nullptr;

namespace {

// The null move's child is reached through this entry; its move word stays 0.
constinit ScoredMove NullMoveEntry{0, 0};

// Moves that never earn the single-reply extension: promotions, captures,
// castling and pawns reaching the seventh.
constexpr Move NoSingleReplyExtension = 0x197000;

// Has the current position occurred before since the last irreversible move,
// in this line (same side to move, so every second ply) or in the game?
bool repeats(int ply) {
    const HashKey key = positionKey;
    const int fifty = board::halfmoveClock;
    for (int i = ply - 2; i >= 0 && i >= ply - fifty; i -= 2)
        if (plyState[i].key == key) return true;
    if (fifty >= ply)
        for (const HashKey* k = gameKeysBegin; k != gameKeysEnd; ++k)
            if (*k == key) return true;
    return false;
}

// Brings the highest-scoring entry of list[i..n) to position i; on equal scores
// the earlier entry stays first.
void selectBest(ScoredMove* list, int i, int n) {
    int best = i;
    for (int j = i + 1; j < n; ++j)
        if (list[j].score > list[best].score) best = j;
    if (best != i) {
        const ScoredMove t = list[i];
        list[i] = list[best];
        list[best] = t;
    }
}

void setLine(Move* pvOut, Move move, const Move* childLine) {
    pvOut[0] = move;
    int i = 1;
    if (childLine)
        for (; i < LineLength - 1 && childLine[i - 1]; ++i) pvOut[i] = childLine[i - 1];
    pvOut[i] = 0;
}

void store(int bound, int ply, int depthLimit, int score, Move move) {
    TransTable.store(positionKey, bound, ply, depthLimit, score, move);
}

// After a null move that failed low with a mate score: would one check of the
// opponent leave our king without a flight square? Then the threat is real.
bool mateThreatened(int s, int ply, ScoredMove* scratch) {
    const int o = 1 - s;
    bool threatened = false;
    board::makeNullMove(s, ply);
    const int n = board::generateChecks(scratch, o);
    int map[64];
    for (int i = 0; i < n && !threatened; ++i) {
        board::makeMove(o, ply + 1, scratch[i].move);
        board::computeAttackMap(o, map);
        const int king = board::pieceList[s][0];
        bool flight = false;
        for (int t = board::nextSquare[board::King][king][king]; t != king && !flight;
             t = board::nextSquare[board::King][king][t])
            flight = map[t] == 0 && squares[t].colour != s;
        board::unmakeMove(ply + 1);
        threatened = !flight;
    }
    board::unmakeNullMove(ply);
    return threatened;
}

// The killers keep the last two quiet refutations of a ply; a move answering the
// previous move's destination is a recapture, not a killer.
void rememberKiller(int ply, Move m) {
    if (board::moveTo(m) != board::moveTo(plyState[ply - 1].move) && m != killer1[ply]) {
        killer2[ply] = killer1[ply];
        killer1[ply] = m;
    }
}

}  // namespace

int searchNode(int s, int ply, int depthLimit, ScoredMove* freeList, ScoredMove* moveIn, int bound, Move* pvOut,
               int budget, int swing, int tieSide) {
    const int o = 1 - s;
    const int origLimit = depthLimit;
    int limit = depthLimit;

    // Step 1. Count the node.
    ++nodeCount;
    pvOut[0] = 0;
    if (searchStopped) return 0;

    // Step 2. Let the interface in every few thousand nodes.
    if (pollCounter > 4000) {
        pollCounter = 0;
        if (pollSearch(uint64_t(nodeCount))) {
            searchStopped = 1;
            return 0;
        }
    } else {
        ++pollCounter;
    }

    // Step 3. A repetition is a draw.
    if (repeats(ply)) return eval::drawScore(ply);

    // Step 4. A stored result may settle the node; its move orders the moves.
    int ttScore = 0;
    Move ttMove = 0;
    if (TransTable.probe(positionKey, bound, ply, origLimit, &ttScore, &ttMove)) {
        pvOut[0] = ttMove;
        pvOut[1] = 0;
        return ttScore;
    }

    // Step 5. Static score; some positions end the search here.
    int status = eval::EvalNormal;
    const int e = eval::evaluate(s, bound, limit, ply, moveIn, &status);
    if (status != eval::EvalNormal) {
        const int storeLimit =
            (status == eval::EvalExact && e > -board::MateBound && e < board::MateBound) ? origLimit + 64 : origLimit;
        store(e, ply, storeLimit, e, 0);
        return e;
    }
    const bool inCheck = (moveIn->move & board::MoveCheck) != 0;
    // A line whose lists would run past the shared array searches no further.
    if (freeList - moveList > MoveListCapacity) return e;

    // Step 6. Extensions: checks and pawns on the seventh, or a recapture that
    // restores the balance.
    if (budget > 0 && ply < limit) {
        if (moveIn->move & (board::MoveCheck | board::MovePawnSeventh)) {
            ++limit;
            --budget;
        } else if (swing >= -50 && swing <= 50 && ply >= 2 && (plyState[ply - 1].move & board::MoveCapture) &&
                   (plyState[ply - 2].move & board::MoveCapture)) {
            ++limit;
            --budget;
        }
    }

    // Step 7. A mate search looks no deeper than the mate it has to beat.
    if (limit > mateLimit + 1) limit = mateLimit + 1;

    // Step 8. Null move: if passing still holds the bound, the position is good
    // enough. Not after a null move, not in check, not in a mate search, and not
    // with too little material (zugzwang).
    const int s8 = 8 * s;
    const bool material = board::pieceCount[board::Queen + s8] || board::pieceCount[board::Rook + s8] ||
                          board::pieceCount[board::Knight + s8] + board::pieceCount[board::Bishop + s8] > 1;
    if (ply < limit && moveIn->move != 0 && e > bound && mateLimit == NoMateLimit && material && !inCheck) {
        int nullLimit = limit - 3;
        if (nullLimit <= ply + 1) nullLimit = limit - 2;
        NullMoveEntry.move = 0;
        board::makeNullMove(s, ply);
        TransTable.prefetch(positionKey);
        const int v = -searchNode(o, ply + 1, nullLimit, freeList + 1, &NullMoveEntry, -bound, pvAtPly[ply], budget,
                                  -swing, tieSide);
        if (searchStopped) return 0;
        board::unmakeNullMove(ply);
        if (v > bound) {
            store(bound, ply, origLimit, v, ttMove);
            if (ply < 8) setLine(pvOut, ttMove, nullptr);
            return v;
        }
        if (s == tieSide && v == bound) {
            store(bound - 1, ply, origLimit, v, ttMove);
            if (ply < 8) setLine(pvOut, ttMove, nullptr);
            return v;
        }
        board::computeAttackMap(s, attackMap[s]);
        board::computeAttackMap(o, attackMap[o]);
        if (budget > 0 && v < -10000 && mateThreatened(s, ply, freeList)) {
            ++limit;
            --budget;
        }
    }

    // Step 9. Won positions and the deepest plies end here.
    if (e >= board::MateBound || ply >= MaxSearchPly) {
        store(e, ply, origLimit, e, 0);
        return e;
    }

    // Step 10. The stored move leads the ordering.
    hashMove = ttMove;

    // Step 11. Full width before the horizon and in check; beyond it captures
    // (and safe checks near the horizon) with the static score as a floor.
    ScoredMove* list = freeList;
    int n;
    int best;
    const bool quiescence = !(ply < limit || inCheck);
    if (!quiescence) {
        n = board::generateMoves(list, s, ply);
        if (n == 1 && !(list[0].move & NoSingleReplyExtension) && ply <= limit) ++limit;
        best = -board::KingCaptureScore;
    } else {
        if (e > bound) {
            store(bound, ply, origLimit, e, 0);
            return e;
        }
        n = board::generateCaptures(list, s, ply, ply - limit < 3);
        best = e;
    }
    Move nodeBestMove = 0;

    // Step 12. Enhanced transposition cutoff: a child already known to refute
    // the bound saves the whole search.
    if (ply < limit - 2 && n > 0) {
        for (int i = 0; i < n;) {
            selectBest(list, i, n);
            const Move m = list[i].move;
            board::makeMove(s, ply, m);
            bool known = false;
            int c = 0;
            if (repeats(ply + 1)) {
                known = true;
                c = 0;
            } else {
                Move ignored = 0;
                known = TransTable.probe(positionKey, -bound, ply + 1, limit, &c, &ignored) != 0;
            }
            board::unmakeMove(ply);
            const int r = -c;
            if (known && (r > bound || (s == tieSide && r == bound))) {
                if (r == bound) --bound;
                const Move m16 = m & board::MoveIdentity;
                rememberKiller(ply, m16);
                store(bound, ply, origLimit, r, m16);
                if (ply < 8) setLine(pvOut, m16, nullptr);
                return r;
            }
            if (!known || r >= bound) {
                ++i;
                continue;
            }
            // Known to stay below the bound: no need to search it.
            if (r > best) {
                best = r;
                if (ply < 8) setLine(pvOut, m & board::MoveIdentity, nullptr);
            }
            list[i] = list[--n];
        }
    }

    // Step 13. The moves, best-looking first.
    for (int i = 0; i < n; ++i) {
        selectBest(list, i, n);
        ScoredMove& entry = list[i];
        // Captures too small to reach the bound end the quiescence loop.
        if (quiescence && entry.score + e < bound - 50) break;
        int childSwing = swing;
        if (entry.move & board::MoveCapture) childSwing += board::pieceValue[squares[board::moveTo(entry.move)].piece];

        board::makeMove(s, ply, entry.move);
        TransTable.prefetch(positionKey);
        const int v = -searchNode(o, ply + 1, limit, list + n, &entry, -bound, pvAtPly[ply], budget, -childSwing,
                                  tieSide);
        if (searchStopped) return 0;
        board::unmakeMove(ply);

        if (v > best) {
            best = v;
            nodeBestMove = entry.move & board::MoveIdentity;
            bestMoveAtPly[ply] = nodeBestMove;
            if (ply < 8) setLine(pvOut, nodeBestMove, pvAtPly[ply]);
            if (v > bound || (s == tieSide && v == bound)) {
                // Step 15. Cutoff.
                if (v == bound) --bound;
                rememberKiller(ply, nodeBestMove);
                break;
            }
        }
    }

    // Step 16. History rewards the move that proved best, more for deeper work.
    if (nodeBestMove && ply < limit) {
        int& h = history[s][board::moveFrom(nodeBestMove)][board::moveTo(nodeBestMove)];
        h += (limit - ply) * (limit - ply);
        if (h > 1048576) h = 1048576;
    }

    // Step 17. The result; no move searched means mate or stalemate.
    if (best != -board::KingCaptureScore) {
        const int storedBound = (best == bound && tieSide != 2 && tieSide != s) ? bound + 1 : bound;
        store(storedBound, ply, origLimit, best, nodeBestMove);
        return best;
    }
    const int result = inCheck ? ply - board::MateScore : eval::drawScore(ply);
    store(bound, ply, origLimit, result, 0);
    return result;
}

}  // namespace search
