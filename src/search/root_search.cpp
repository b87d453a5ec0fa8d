#include "search/root_search.h"

#include "base/platform.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/record_rules.h"
#include "eval/evaluate.h"
#include "search/node_search.h"
#include "search/time_manager.h"
#include "search/transposition.h"

namespace search {

using board::Move;
using board::ScoredMove;

namespace {

// Window state of a root move between re-searches.
enum Window { Fresh, AfterFailHigh, AfterFailLow };

void setRootLine(Move rootMove, const Move* childLine) {
    rootPV[0] = rootMove & board::MoveIdentity;
    int i = 1;
    for (; i < RootLineLength - 1 && i <= 8 && childLine[i - 1]; ++i) rootPV[i] = childLine[i - 1];
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

void searchRoot(int s, ScoredMove* first, ScoredMove* last, const board::HashKey* keysBegin,
                const board::HashKey* keysEnd, int initialMateLimit) {
    const int o = 1 - s;
    const int count = int(last - first);

    // 1. A new generation for the table; the game's history for repetitions.
    TransTable.nextGeneration();
    gameKeysBegin = keysBegin;
    gameKeysEnd = keysEnd;
    mateLimit = initialMateLimit;
    pollCounter = 0;
    nodeCount = 0;

    // 2. The root estimate is the first bound.
    int status = eval::EvalNormal;
    last->score = 0;
    last->move = 0;
    const int estimate = eval::evaluate(s, board::materialSum[s] - board::materialSum[o], 1, 0, last, &status);
    int f = estimate > board::MateBound ? 0 : estimate;

    // 3. Checks first among equals; the order then only changes by fail highs.
    for (ScoredMove* p = first; p < last; ++p)
        if (p->move & board::MoveCheck) p->score += 300;
    if (count >= 2) exchangeSort(first, last);

    if (searchStopped) return;
    Move childLine[LineLength] = {};
    int budget = 13;
    for (int iteration = 1; iteration <= mateLimit; ++iteration) {
        // 5.1 The time layer decides whether another iteration is worth starting.
        setNodeCount(uint64_t(nodeCount));
        if (mayStartIteration(iteration)) return;
        int g = f >= board::MateBound ? f : -board::KingCaptureScore;

        for (int index = 0; index < count; ++index) {
            ScoredMove* p = first + index;
            if (searchStopped) return;
            if (p->score <= -board::MateBound) continue;  // loses by force
            const int l = (p->move & board::MoveCapture) ? board::pieceValue[board::squares[board::moveTo(p->move)].piece] : 0;
            if (mayStartMove(p->move & board::MoveIdentity, index, count)) return;

            board::makeMove(s, 0, p->move);
            Window w = Fresh;
            bool toFront = false;
            for (;;) {
                const int tie = index == 0 ? (w == Fresh ? 2 : w == AfterFailHigh ? o : s) : o;
                const int v = -searchNode(o, 1, iteration, last, p, -f, childLine, budget > 8 ? budget : 8, -l, tie);
                p->score = v;
                if (searchStopped) return;
                if (v == f) {
                    if (index == 0 || w == AfterFailHigh) {
                        setRootLine(p->move, childLine);
                        g = v;
                        if (reportRootResult(v, UpdateExact, rootPV)) return;
                    }
                    break;
                }
                if ((v > f && w == AfterFailLow) || (v < f && w == AfterFailHigh)) {
                    // The window result is unstable: keep the best known score.
                    setRootLine(p->move, childLine);
                    setNodeCount(uint64_t(nodeCount));
                    if (reportRootResult(g, UpdateExact, rootPV)) return;
                    break;
                }
                if (v > f) {
                    w = AfterFailHigh;
                    if (index != 0) toFront = true;
                    g = v;
                    f = v + 1;
                    setRootLine(p->move, childLine);
                    setNodeCount(uint64_t(nodeCount));
                    if (reportRootResult(v, UpdateFailHigh, rootPV)) return;
                    // A mate found: from now on only shorter mates are of interest.
                    if (v > board::MateBound) mateLimit = 29997 - v;
                    continue;
                }
                w = AfterFailLow;
                if (index != 0 || f >= board::MateBound) break;
                g = v;
                f = v - 1;
                setRootLine(p->move, childLine);
                setNodeCount(uint64_t(nodeCount));
                if (reportRootResult(v, UpdateFailLow, rootPV)) return;
            }
            board::unmakeMove(0);
            if (toFront) {
                const ScoredMove moved = *p;
                for (ScoredMove* q = p; q > first; --q) *q = *(q - 1);
                *first = moved;
            }
            f = g;
        }

        // 5.4 With fewer than two moves that do not lose, five iterations suffice.
        int alive = 0;
        for (ScoredMove* p = first; p < last && alive < 2; ++p)
            if (p->score > -board::MateBound) ++alive;
        if (alive < 2 && budget < 10) return;
        --budget;
        if (searchStopped) return;
    }
}

SearchResult searchPosition(const board::PositionRecord& record, const SearchLimits& limits) {
    SearchResult result;
    // The game never sets up a position the search cannot hold (no king, a side
    // that could take the other's king at once); tools pass any text they get.
    if (!board::isPlayablePosition(record)) return result;
    board::Board.loadRecord(record);
    const int side = board::Board.sideToMove;
    if (!prepareSearch(side)) return result;
    ScoredMove* list = moveList;
    const int n = board::generateLegalMoves(list, side, 0);
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

    searchRoot(side, list, list + n, nullptr, nullptr, NoMateLimit);

    Interface = driverHooks;
    result.bestMove = bestMove;
    result.ponderMove = ponderMove;
    result.score = currentScore;
    result.depth = iterationDepth;
    result.nodes = uint64_t(nodeCount);
    return result;
}

}  // namespace search
