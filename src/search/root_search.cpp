#include "search/root_search.h"

#include "base/assert.h"
#include "base/platform.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/record_rules.h"
#include "eval/evaluate.h"
#include "search/node_search.h"
#include "search/search_state.h"
#include "search/threads.h"
#include "search/time_manager.h"
#include "search/transposition.h"

namespace search {

using board::Board;
using board::Move;
using board::Position;
using board::ScoredMove;

namespace {

// Window state of a root move between re-searches.
enum Window { Fresh, AfterFailHigh, AfterFailLow };

// A check is often the strongest move: among root moves that look equal, checks
// are searched first.
constexpr int RootCheckBonus = 300;
// Extensions a line may receive (checks, pawns on the seventh, recaptures): 13 in
// the first iteration and one fewer in each later one, but never fewer than 8, so
// that forcing lines are still followed while deep iterations stay affordable.
constexpr int FirstIterationExtensions = 13;
constexpr int MinExtensions = 8;
// With a single move that does not lose, deeper search cannot change the choice:
// the search ends once the budget has fallen below this, after iteration five.
constexpr int ForcedMoveBudget = 10;

void setRootLine(Move* rootPV, Move rootMove, const Move* childLine) {
    rootPV[0] = rootMove & board::MoveIdentity;
    int i = 1;
    for (; i < RootLineLength - 1 && i <= LinePlies && childLine[i - 1]; ++i) rootPV[i] = childLine[i - 1];
    rootPV[i] = 0;
}

// Descending by score, exchanging whenever a later entry scores higher.
void exchangeSort(ScoredMove* first, ScoredMove* last) {
    for (ScoredMove* a = first; a < last; ++a)
        for (ScoredMove* b = a + 1; b < last; ++b)
            if (b->score > a->score) {
                const ScoredMove t = *a;
                *a = *b;
                *b = t;
            }
}

}  // namespace

namespace {

void searchIterations(SearchState& state, Position& pos, int s, ScoredMove* first, ScoredMove* last,
                      const board::HashKey* keysBegin, const board::HashKey* keysEnd, int initialMateLimit) {
    const int o = 1 - s;
    const int count = int(last - first);

    // 1. The game's history for repetitions.
    state.gameKeysBegin = keysBegin;
    state.gameKeysEnd = keysEnd;
    state.evalLine.mateLimit = initialMateLimit;
    state.pollCounter = 0;
    state.ordering.nodeCount = 0;

    // 2. The root estimate is the first bound.
    int status = eval::EvalNormal;
    last->score = 0;
    last->move = 0;
    const int estimate =
        eval::evaluate(pos, state.evalLine, s, pos.materialSum[s] - pos.materialSum[o], 1, 0, last, &status);
    int bound = estimate > board::MateBound ? 0 : estimate;

    // 3. Checks first among equals; the order then only changes by fail highs.
    for (ScoredMove* entry = first; entry < last; ++entry)
        if (entry->move & board::MoveCheck) entry->score += RootCheckBonus;
    if (count >= 2) exchangeSort(first, last);

    if (searchStopped) return;
    Move childLine[LineLength] = {};
    int budget = FirstIterationExtensions;
    for (int iteration = 1; iteration <= state.evalLine.mateLimit; ++iteration) {
        // 4. The time layer decides whether another iteration is worth starting.
        setNodeCount(uint64_t(state.ordering.nodeCount));
        if (mayStartIteration(iteration)) return;
        // The best score of this iteration so far; a mate already found stands.
        int best = bound >= board::MateBound ? bound : -board::KingCaptureScore;

        // 5. Every move that does not lose by force, against the single bound. A
        // fail high raises the bound and sends the move to the front; only the
        // first move is searched again downwards after a fail low.
        for (int index = 0; index < count; ++index) {
            ScoredMove* entry = first + index;
            if (searchStopped) return;
            if (entry->score <= -board::MateBound) continue;  // loses by force
            // The value of the man this move takes: the start of the line's swing.
            const int captured = (entry->move & board::MoveCapture)
                                     ? board::pieceValue[pos.squares[board::moveTo(entry->move)].piece]
                                     : 0;
            if (mayStartMove(entry->move & board::MoveIdentity, index, count)) return;

            board::makeMove(pos, s, 0, entry->move);
            Window window = Fresh;
            bool toFront = false;
            for (;;) {
                // Whose fail high a score equal to the bound is: the opponent's for
                // all but the first move; for that one nobody's on its first search.
                int tieSide = o;
                if (index == 0) tieSide = window == Fresh ? NoTieSide : window == AfterFailHigh ? o : s;
                const int extensions = budget > MinExtensions ? budget : MinExtensions;
                SearchThreads.followRoot(iteration, bound);
                const int score = -searchNode(state, pos, o, 1, iteration, last, entry, -bound, childLine,
                                              extensions, -captured, tieSide);
                entry->score = score;
                if (searchStopped) return;
                if (score == bound) {
                    if (index == 0 || window == AfterFailHigh) {
                        setRootLine(state.rootPV, entry->move, childLine);
                        best = score;
                        if (reportRootResult(score, UpdateExact, state.rootPV)) return;
                    }
                    break;
                }
                if ((score > bound && window == AfterFailLow) || (score < bound && window == AfterFailHigh)) {
                    // The window result is unstable: keep the best known score.
                    setRootLine(state.rootPV, entry->move, childLine);
                    setNodeCount(uint64_t(state.ordering.nodeCount));
                    if (reportRootResult(best, UpdateExact, state.rootPV)) return;
                    break;
                }
                if (score > bound) {
                    window = AfterFailHigh;
                    if (index != 0) toFront = true;
                    best = score;
                    bound = score + 1;
                    setRootLine(state.rootPV, entry->move, childLine);
                    setNodeCount(uint64_t(state.ordering.nodeCount));
                    if (reportRootResult(score, UpdateFailHigh, state.rootPV)) return;
                    // A mate found: from now on only mates a full move shorter are
                    // of interest.
                    if (score > board::MateBound) {
                        const int matePly = board::MateScore - score;
                        state.evalLine.mateLimit = matePly - 2;
                    }
                    continue;
                }
                window = AfterFailLow;
                if (index != 0 || bound >= board::MateBound) break;
                best = score;
                bound = score - 1;
                setRootLine(state.rootPV, entry->move, childLine);
                setNodeCount(uint64_t(state.ordering.nodeCount));
                if (reportRootResult(score, UpdateFailLow, state.rootPV)) return;
            }
            board::unmakeMove(pos, 0);
            TALVO_ASSERT(pos.isConsistent());
            if (toFront) {
                const ScoredMove moved = *entry;
                for (ScoredMove* q = entry; q > first; --q) *q = *(q - 1);
                *first = moved;
            }
            bound = best;
        }

        // 6. With fewer than two moves that do not lose, five iterations suffice.
        int alive = 0;
        for (ScoredMove* entry = first; entry < last && alive < 2; ++entry)
            if (entry->score > -board::MateBound) ++alive;
        if (alive < 2 && budget < ForcedMoveBudget) return;
        --budget;
        if (searchStopped) return;
    }
}

}  // namespace

void searchRoot(SearchState& state, Position& pos, int s, ScoredMove* first, ScoredMove* last,
                const board::HashKey* keysBegin, const board::HashKey* keysEnd, int initialMateLimit) {
    // A new generation for the table, then the helper threads (if any) on the same
    // root while this search runs; they stop when it ends.
    TALVO_ASSERT(TransTable.isConsistent());
    TransTable.nextGeneration();
    SearchThreads.start(pos, s, first, last, keysBegin, keysEnd);
    searchIterations(state, pos, s, first, last, keysBegin, keysEnd, initialMateLimit);
    SearchThreads.stop();
}

SearchResult searchPosition(const board::PositionRecord& record, const SearchLimits& limits) {
    SearchResult result;
    // The game never sets up a position the search cannot hold (no king, a side
    // that could take the other's king at once); tools pass any text they get.
    if (!board::isPlayablePosition(record)) return result;
    Position& pos = Board;
    SearchState& state = MainSearch;
    pos.loadRecord(record);
    const int side = pos.sideToMove;
    if (!prepareSearch(pos, state, side)) return result;
    ScoredMove* list = state.moveList;
    const int n = board::generateLegalMoves(pos, list, side, 0);
    result.legalMoves = n;
    if (n == 0) return result;

    // The limits as the driver would set them, and no interface: no input is read,
    // and thinking lines are printed only when asked for.
    fixedDepth = limits.depth;
    hardTimeLimit = limits.time.hardTimeLimit;
    targetTime = limits.time.targetTime;
    stopMargin = limits.time.stopMargin;
    analyzeMode = 0;
    pondering = 0;
    recordedNodes = 0;
    iterationDepth = 0;
    currentScore = 0;
    previousScore = 0;
    bestMove = list[0].move & board::MoveIdentity;
    ponderMove = 0;
    easyMove = 0;
    searchStopped = 0;
    searchStartTick = platform::tickMs();
    const InterfaceHooks driverHooks = Interface;
    Interface = {noCommands, limits.post ? printThinkingLine : noRootLine};

    searchRoot(state, pos, side, list, list + n, nullptr, nullptr, NoMateLimit);

    Interface = driverHooks;
    result.bestMove = bestMove;
    result.ponderMove = ponderMove;
    result.score = currentScore;
    result.depth = iterationDepth;
    result.nodes = uint64_t(state.ordering.nodeCount);
    return result;
}

}  // namespace search
