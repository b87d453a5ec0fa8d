#include "search/node_search.h"

#include "base/assert.h"
#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/movegen_tactical.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/piece_square.h"
#include "search/limits.h"
#include "search/root_search.h"
#include "search/time_manager.h"
#include "search/transposition.h"

namespace search {

using board::HashKey;
using board::Move;
using board::Position;
using board::ScoredMove;

namespace {

// Moves that never earn the single-reply extension: promotions, captures,
// castling and pawns reaching the seventh.
constexpr Move NoSingleReplyExtension = 0x197000;

// Nodes between looks at the input: often enough to answer a move or "?" at
// once, rarely enough to cost nothing measurable.
constexpr int PollInterval = 4000;
// An exact static result (a tablebase score, a dead draw) holds at any depth: it
// is stored as if searched this many plies deeper.
constexpr int ExactResultDepth = 64;
// A recapture is extended when the captures along the line leave the balance
// within half a pawn of where it was: the exchange is still going on.
constexpr int RecaptureBalance = 50;
// Null move: the reply is searched 3 plies shallower, 2 when that would drop it
// straight into quiescence.
constexpr int NullMoveReduction = 3;
constexpr int NullMoveReductionNearHorizon = 2;
// A null move answered by a score below this (only mate scores reach it) shows a
// threat of mate, which earns an extension when a check would leave the king no
// flight square.
constexpr int MateThreatScore = -10000;
// The enhanced transposition cutoff probes every child first: worth it only with
// more than this many plies to go.
constexpr int EtcMinDepth = 2;
// Quiescence generates safe checks in its first plies only.
constexpr int QuiescenceCheckPlies = 3;
// Quiescence stops at captures whose gain cannot lift the static score to within
// half a pawn of the bound.
constexpr int DeltaMargin = 50;

// Has this search been told to stop: a helper by its own flag, the main search
// by the poll (or the interface).
inline bool stopped(const SearchState& state) {
    return state.helperStop ? state.helperStop->load(std::memory_order_relaxed) != 0
                            : searchStopped.load(std::memory_order_relaxed) != 0;
}

// Has the current position occurred before since the last irreversible move,
// in this line (same side to move, so every second ply) or in the game?
// key and fifty are the position's (or a child's, before its move is made).
bool repeats(const SearchState& state, const Position& pos, int ply, HashKey key, int fifty) {
    for (int i = ply - 2; i >= 0 && i >= ply - fifty; i -= 2)
        if (pos.slots[i].key == key) return true;
    if (fifty >= ply)
        for (const HashKey* k = state.gameKeysBegin; k != state.gameKeysEnd; ++k)
            if (*k == key) return true;
    return false;
}

// Brings the highest-scoring entry of list[i..n) to position i; on equal scores
// the earlier entry stays first.
// The scan is kept free of branches: which move scores higher follows no pattern
// a branch predictor could learn, and a wrong guess costs more than the compare.
void selectBest(ScoredMove* list, int i, int n) {
    int best = i, bestScore = list[i].score;
    for (int j = i + 1; j < n; ++j) {
        const int score = list[j].score;
        const bool higher = score > bestScore;
        best = higher ? j : best;
        bestScore = higher ? score : bestScore;
    }
    // Swapped even when in place: cheaper than a guess.
    const ScoredMove t = list[i];
    list[i] = list[best];
    list[best] = t;
}

void setLine(Move* pvOut, Move move, const Move* childLine) {
    pvOut[0] = move;
    int i = 1;
    if (childLine)
        for (; i < LineLength - 1 && childLine[i - 1]; ++i) pvOut[i] = childLine[i - 1];
    pvOut[i] = 0;
}

void store(const Position& pos, int bound, int ply, int depthLimit, int score, Move move) {
    TransTable.store(pos.key, bound, ply, depthLimit, score, move);
}

// After a null move that failed low with a mate score: would one check of the
// opponent leave our king without a flight square? Then the threat is real.
bool mateThreatened(Position& pos, int s, int ply, ScoredMove* scratch) {
    const int o = 1 - s;
    bool threatened = false;
    board::makeNullMove(pos, s, ply);
    const int n = board::generateChecks(pos, scratch, o);
    int map[64];
    for (int i = 0; i < n && !threatened; ++i) {
        board::makeMove(pos, o, ply + 1, scratch[i].move);
        board::computeAttackMap(pos, o, map);
        const int king = pos.pieceList[s][0];
        bool flight = false;
        for (int t = board::nextSquare[board::King][king][king]; t != king && !flight;
             t = board::nextSquare[board::King][king][t])
            flight = map[t] == 0 && pos.squares[t].colour != s;
        board::unmakeMove(pos, ply + 1);
        threatened = !flight;
    }
    board::unmakeNullMove(pos, ply);
    return threatened;
}

// The killers keep the last two quiet refutations of a ply; a move answering the
// previous move's destination is a recapture, not a killer.
void rememberKiller(board::OrderingContext& ordering, const Position& pos, int ply, Move m) {
    if (board::moveTo(m) != board::moveTo(pos.slots[ply - 1].move) && m != ordering.killer1[ply]) {
        ordering.killer2[ply] = ordering.killer1[ply];
        ordering.killer1[ply] = m;
    }
}

}  // namespace

int searchNode(SearchState& state, Position& pos, int s, int ply, int depthLimit, ScoredMove* freeList,
               ScoredMove* moveIn, int bound, Move* pvOut, int budget, int swing, int tieSide) {
    const int o = 1 - s;
    const int origLimit = depthLimit;
    int limit = depthLimit;

    // Step 1. Count the node.
    ++state.ordering.nodeCount;
    pvOut[0] = 0;
    if (stopped(state)) return 0;

    // Step 2. Let the interface in every few thousand nodes; the sanitizer build
    // checks the position there too.
    if (state.pollCounter > PollInterval) {
        state.pollCounter = 0;
        TALVO_ASSERT(pos.isConsistent());
        if (!state.helperStop && pollSearch(uint64_t(state.ordering.nodeCount))) {
            searchStopped = 1;
            return 0;
        }
    } else {
        ++state.pollCounter;
    }

    // Step 3. A repetition is a draw.
    if (repeats(state, pos, ply, pos.key, pos.halfmoveClock)) return eval::drawScore(pos, ply);

    // Step 4. A stored result may settle the node; its move orders the moves.
    int ttScore = 0;
    Move ttMove = 0;
    if (TransTable.probe(pos.key, bound, ply, origLimit, &ttScore, &ttMove)) {
        pvOut[0] = ttMove;
        pvOut[1] = 0;
        return ttScore;
    }
    // The stored move is nearly always searched first: its child's entry starts
    // loading now, while the position is evaluated and the moves are listed.
    if (ttMove) TransTable.prefetch(board::keyLowAfter(pos, s, ttMove));

    // Step 5. Static score; some positions end the search here.
    int status = eval::EvalNormal;
    const int staticScore = eval::evaluate(pos, state.evalLine, s, bound, limit, ply, moveIn, &status);
    if (status != eval::EvalNormal) {
        const int storeLimit =
            (status == eval::EvalExact && staticScore > -board::MateBound && staticScore < board::MateBound)
                ? origLimit + ExactResultDepth
                : origLimit;
        store(pos, staticScore, ply, storeLimit, staticScore, 0);
        return staticScore;
    }
    const bool inCheck = (moveIn->move & board::MoveCheck) != 0;
    // A line whose lists would run past the shared array searches no further.
    if (freeList - state.moveList > MoveListCapacity) return staticScore;

    // Step 6. Extensions: checks and pawns on the seventh, or a recapture that
    // restores the balance.
    if (budget > 0 && ply < limit) {
        if (moveIn->move & (board::MoveCheck | board::MovePawnSeventh)) {
            ++limit;
            --budget;
        } else if (swing >= -RecaptureBalance && swing <= RecaptureBalance && ply >= 2 &&
                   (pos.slots[ply - 1].move & board::MoveCapture) &&
                   (pos.slots[ply - 2].move & board::MoveCapture)) {
            ++limit;
            --budget;
        }
    }

    // Step 7. A mate search looks no deeper than the mate it has to beat.
    if (limit > state.evalLine.mateLimit + 1) limit = state.evalLine.mateLimit + 1;

    // Step 8. Null move: if passing still holds the bound, the position is good
    // enough. Not after a null move, not in check, not in a mate search, and not
    // with too little material (zugzwang).
    const int s8 = 8 * s;
    const bool material = pos.pieceCount[board::Queen + s8] || pos.pieceCount[board::Rook + s8] ||
                          pos.pieceCount[board::Knight + s8] + pos.pieceCount[board::Bishop + s8] > 1;
    if (ply < limit && moveIn->move != 0 && staticScore > bound && state.evalLine.mateLimit == NoMateLimit &&
        material && !inCheck) {
        int nullLimit = limit - NullMoveReduction;
        if (nullLimit <= ply + 1) nullLimit = limit - NullMoveReductionNearHorizon;
        // The null move's child is reached through this entry; its move word is 0.
        ScoredMove nullEntry{0, 0};
        board::makeNullMove(pos, s, ply);
        TransTable.prefetch(pos.key);
        const int nullScore = -searchNode(state, pos, o, ply + 1, nullLimit, freeList + 1, &nullEntry, -bound,
                                          state.pvAtPly[ply], budget, -swing, tieSide);
        if (stopped(state)) return 0;
        board::unmakeNullMove(pos, ply);
        if (nullScore > bound) {
            store(pos, bound, ply, origLimit, nullScore, ttMove);
            if (ply < LinePlies) setLine(pvOut, ttMove, nullptr);
            return nullScore;
        }
        if (s == tieSide && nullScore == bound) {
            store(pos, bound - 1, ply, origLimit, nullScore, ttMove);
            if (ply < LinePlies) setLine(pvOut, ttMove, nullptr);
            return nullScore;
        }
        if (budget > 0 && nullScore < MateThreatScore && mateThreatened(pos, s, ply, freeList)) {
            ++limit;
            --budget;
        }
    }

    // Step 9. Won positions and the deepest plies end here.
    if (staticScore >= board::MateBound || ply >= MaxSearchPly) {
        store(pos, staticScore, ply, origLimit, staticScore, 0);
        return staticScore;
    }

    // Step 10. The stored move leads the ordering.
    state.ordering.hashMove = ttMove;

    // Step 11. Full width before the horizon and in check; beyond it captures
    // (and safe checks near the horizon) with the static score as a floor.
    ScoredMove* list = freeList;
    int n;
    int best;
    const bool quiescence = !(ply < limit || inCheck);
    if (!quiescence) {
        n = board::generateMoves(pos, list, s, ply);
        if (n == 1 && !(list[0].move & NoSingleReplyExtension) && ply <= limit) ++limit;
        best = -board::KingCaptureScore;
    } else {
        if (staticScore > bound) {
            store(pos, bound, ply, origLimit, staticScore, 0);
            return staticScore;
        }
        n = board::generateCaptures(pos, list, s, ply, ply - limit < QuiescenceCheckPlies);
        best = staticScore;
    }
    Move nodeBestMove = 0;
    // The cutoff test below picks the moves in order and leaves the list sorted:
    // the loop after it then finds each move already in its place.
    bool sorted = false;

    // Step 12. Enhanced transposition cutoff: a child already known to refute
    // the bound saves the whole search.
    if (ply < limit - EtcMinDepth && n > 0) {
        // Every child's entry is read below: all of them start loading at once.
        for (int i = 0; i < n; ++i) TransTable.prefetch(board::keyLowAfter(pos, s, list[i].move));
        for (int i = 0; i < n;) {
            selectBest(list, i, n);
            const Move move = list[i].move;
            // The child is looked up without making the move: the key and the
            // fifty-move count it would have are all the lookups read.
            const HashKey childKey = board::keyAfter(pos, s, move);
            bool known = false;
            int childScore = 0;
            if (repeats(state, pos, ply + 1, childKey, board::halfmoveClockAfter(pos, move))) {
                known = true;
                childScore = 0;
            } else {
                Move ignored = 0;
                known = TransTable.probe(childKey, -bound, ply + 1, limit, &childScore, &ignored) != 0;
            }
            board::reorderAsIfMadeAndUnmade(pos, s, move);
            const int score = -childScore;
            if (known && (score > bound || (s == tieSide && score == bound))) {
                if (score == bound) --bound;
                const Move refutation = move & board::MoveIdentity;
                rememberKiller(state.ordering, pos, ply, refutation);
                store(pos, bound, ply, origLimit, score, refutation);
                if (ply < LinePlies) setLine(pvOut, refutation, nullptr);
                return score;
            }
            if (!known || score >= bound) {
                ++i;
                continue;
            }
            // Known to stay below the bound: no need to search it.
            if (score > best) {
                best = score;
                if (ply < LinePlies) setLine(pvOut, move & board::MoveIdentity, nullptr);
            }
            list[i] = list[--n];
        }
        sorted = true;
    }

    // Step 13. The moves, best-looking first. The next move is picked before this
    // one is searched, so that its table entry is on its way into the cache while
    // this move's subtree is searched (the pick is the same done early).
    if (n > 0) {
        if (!sorted) selectBest(list, 0, n);
        TransTable.prefetch(board::keyLowAfter(pos, s, list[0].move));
    }
    for (int i = 0; i < n; ++i) {
        ScoredMove& entry = list[i];
        // Captures too small to reach the bound end the quiescence loop.
        if (quiescence && entry.score + staticScore < bound - DeltaMargin) break;
        if (i + 1 < n) {
            if (!sorted) selectBest(list, i + 1, n);
            TransTable.prefetch(board::keyLowAfter(pos, s, list[i + 1].move));
        }
        int childSwing = swing;
        if (entry.move & board::MoveCapture)
            childSwing += board::pieceValue[pos.squares[board::moveTo(entry.move)].piece];

        board::makeMove(pos, s, ply, entry.move);
        TransTable.prefetch(pos.key);
        eval::pawnEvaluator().prefetch(pos.pawnKey);
        const int score = -searchNode(state, pos, o, ply + 1, limit, list + n, &entry, -bound,
                                      state.pvAtPly[ply], budget, -childSwing, tieSide);
        if (stopped(state)) return 0;
        board::unmakeMove(pos, ply);

        if (score > best) {
            best = score;
            nodeBestMove = entry.move & board::MoveIdentity;
            state.ordering.bestMoveAtPly[ply] = nodeBestMove;
            if (ply < LinePlies) setLine(pvOut, nodeBestMove, state.pvAtPly[ply]);
            if (score > bound || (s == tieSide && score == bound)) {
                // Step 14. Cutoff.
                if (score == bound) --bound;
                rememberKiller(state.ordering, pos, ply, nodeBestMove);
                break;
            }
        }
    }

    // Step 15. History rewards the move that proved best, more for deeper work.
    if (nodeBestMove && ply < limit) {
        int& counter = state.ordering.history[s][board::moveFrom(nodeBestMove)][board::moveTo(nodeBestMove)];
        counter += (limit - ply) * (limit - ply);
        if (counter > HistoryCap) counter = HistoryCap;
    }

    // Step 16. The result; no move searched means mate or stalemate.
    if (best != -board::KingCaptureScore) {
        const int storedBound = (best == bound && tieSide != NoTieSide && tieSide != s) ? bound + 1 : bound;
        store(pos, storedBound, ply, origLimit, best, nodeBestMove);
        return best;
    }
    const int result = inCheck ? ply - board::MateScore : eval::drawScore(pos, ply);
    store(pos, bound, ply, origLimit, result, 0);
    return result;
}

}  // namespace search
