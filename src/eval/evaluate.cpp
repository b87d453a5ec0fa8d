#include "eval/evaluate.h"

#include "board/attacks.h"
#include "board/board.h"
#include "egtb/probe.h"
#include "eval/pawns.h"
#include "eval/piece_square.h"
#include "eval/piece_terms.h"

namespace eval {

using board::Bishop;
using board::Black;
using board::distance;
using board::King;
using board::Knight;
using board::Pawn;
using board::Position;
using board::Queen;
using board::Rook;
using board::squareColour;
using board::White;

namespace {

// 6 x (file distance + rank distance from the nearest edges): drives a bare king
// towards the corner where it can be mated.
constexpr int BareKingCentre[64] = {
    0,  6,  12, 18, 18, 12, 6,  0,   //
    6,  12, 18, 24, 24, 18, 12, 6,   //
    12, 18, 24, 30, 30, 24, 18, 12,  //
    18, 24, 30, 36, 36, 30, 24, 18,  //
    18, 24, 30, 36, 36, 30, 24, 18,  //
    12, 18, 24, 30, 30, 24, 18, 12,  //
    6,  12, 18, 24, 24, 18, 12, 6,   //
    0,  6,  12, 18, 18, 12, 6,  0,
};

int pawnsOf(const Position& pos, int colour) { return pos.pieceCount[Pawn + 8 * colour]; }

// Every pawn of colour Us into the sums of the pawn evaluator (which add up the
// same in any order).
template <int Us>
void scorePawnsOf(const Position& pos) {
    for (SquareSet pawns = pos.pieceSet[Us][Pawn]; pawns; pawns &= pawns - 1)
        pawnEvaluator().scorePawn<Us>(pos, __builtin_ctzll(pawns));
}

int minorsOf(const Position& pos, int colour) {
    return pos.pieceCount[Knight + 8 * colour] + pos.pieceCount[Bishop + 8 * colour];
}

int heavyWeight(const Position& pos, int colour) {
    return pos.pieceCount[Rook + 8 * colour] + 2 * pos.pieceCount[Queen + 8 * colour];
}

// The square of colour's first bishop in its piece list, -1 when it has none.
int bishopSquare(const Position& pos, int colour) {
    for (int slot = 1; slot <= pos.menCount[colour]; ++slot)
        if (pos.squares[pos.pieceList[colour][slot]].piece == Bishop) return pos.pieceList[colour][slot];
    return -1;
}

// Pawns of colour standing on squares of the given colour (1 dark, 0 light).
int pawnsOnSquareColour(const Position& pos, int colour, int shade) {
    int count = 0;
    for (SquareSet pawns = pos.pieceSet[colour][Pawn]; pawns; pawns &= pawns - 1)
        if (squareColour[__builtin_ctzll(pawns)] == shade) ++count;
    return count;
}

// Rook and minor piece against a rook is usually a draw: the extra piece of the
// stronger side is worth less than its material says.
int rookAndMinorAgainstRook(const Position& pos, int side, int score) {
    if (pos.nonPawnMaterial <= 1040 || pos.nonPawnMaterial >= 1560) return score;
    if (pos.pieceCount[Rook] != 1 || pos.pieceCount[Rook + 8] != 1) return score;
    for (int colour = White; colour <= Black; ++colour) {
        if (pos.menCount[colour] != 2) continue;
        int k = pos.pieceCount[Knight + 8 * colour] == 1   ? 100
                : pos.pieceCount[Bishop + 8 * colour] == 1 ? 50
                                                           : 0;
        if (k == 0) continue;
        int advantage = side == colour ? score : -score;
        advantage -= k;
        if (advantage > 0) advantage /= 2;
        score = side == colour ? advantage : -advantage;
    }
    return score;
}

// One minor piece each with equal heavy pieces: bishops of one colour want the
// enemy pawns on their squares, opposite bishops draw, a bishop against a knight
// likes enemy pawns fixed on its colour.
int oneMinorEach(const Position& pos, int side, int ply, int score) {
    if (minorsOf(pos, White) != 1 || minorsOf(pos, Black) != 1) return score;
    if (pos.pieceCount[Knight] == 1 && pos.pieceCount[Knight + 8] == 1) return score;
    const int h = heavyWeight(pos, White);
    if (h != heavyWeight(pos, Black)) return score;

    const int whiteBishop = bishopSquare(pos, White), blackBishop = bishopSquare(pos, Black);
    int whiteGain;
    if (whiteBishop >= 0 && blackBishop >= 0) {
        const int shade = squareColour[whiteBishop];
        if (shade != squareColour[blackBishop]) {
            const int f = h == 0 ? 10 : h + 11;
            return score * f / 16 + drawScore(pos, ply);
        }
        whiteGain =
            (pawnsOnSquareColour(pos, Black, shade) - pawnsOnSquareColour(pos, White, shade)) * (5 - h) * 2;
    } else {
        const int shade = squareColour[whiteBishop >= 0 ? whiteBishop : blackBishop];
        const int d = pawnsOnSquareColour(pos, Black, shade) - pawnsOnSquareColour(pos, White, shade);
        whiteGain = h == 0 ? 8 * d : (6 - h) * d;
    }
    return side == White ? score + whiteGain : score - whiteGain;
}

// True when colour's only men besides pawns are one bishop (and nothing else).
bool bishopAndPawnsOnly(const Position& pos, int colour) {
    const int c8 = 8 * colour;
    return pos.pieceCount[Bishop + c8] == 1 && pos.pieceCount[Knight + c8] == 0 &&
           pos.pieceCount[Rook + c8] == 0 && pos.pieceCount[Queen + c8] == 0;
}

bool allPawnsOnFile(const Position& pos, int colour, int file) {
    return (pos.pieceSet[colour][Pawn] & ~pawnEvaluator().fileMask[file]) == 0;
}

// Can colour still win? Not with a bare king or a single minor piece, nor with the
// bishop that does not control the queening corner of rook pawns when the defending
// king sits in that corner.
bool cannotWin(const Position& pos, int colour) {
    const int c8 = 8 * colour;
    bool noWin =
        pos.menCount[colour] == 0 ||
        (pos.menCount[colour] == 1 && (pos.pieceCount[Bishop + c8] == 1 || pos.pieceCount[Knight + c8] == 1));
    if (!bishopAndPawnsOnly(pos, colour)) return noWin;

    const int bishop = bishopSquare(pos, colour);
    const int defender = pos.pieceList[1 - colour][0];
    const bool light = squareColour[bishop] == 0;
    // The queening corner the bishop does not cover, as White sees it: h8 (and the
    // squares next to it) for a light bishop, a8 for a dark one. Black's is the
    // same corner with the board turned round, which keeps the square colour.
    static constexpr int HCorner[4] = {62, 63, 54, 55}, ACorner[4] = {56, 57, 48, 49};
    const int* corner = light ? HCorner : ACorner;
    const int file = colour == White ? (light ? 7 : 0) : (light ? 0 : 7);
    for (int i = 0; i < 4; ++i)
        if (defender == (colour == White ? corner[i] : 63 - corner[i]))
            return allPawnsOnFile(pos, colour, file);
    return noWin;
}

int endgameDraws(const Position& pos, int side, int ply, int score, int* status) {
    const bool whiteNoWin = cannotWin(pos, White), blackNoWin = cannotWin(pos, Black);
    const int d = drawScore(pos, ply);
    if (whiteNoWin && blackNoWin) {
        *status = EvalExact;
        return d;
    }
    // The side that cannot win gets at most a little less than a draw.
    const bool noWin[2] = {whiteNoWin, blackNoWin};
    for (int colour = White; colour <= Black; ++colour) {
        if (!noWin[colour]) continue;
        if (side == colour) return score < d ? score : d - 1;
        return score > d ? score : d + 1;
    }
    return score;
}

int evaluateWith(Position& pos, EvalLine& line, int side, int bound, int depthLimit, int ply,
                 board::ScoredMove* moveIn, int* status, EvalTrace* trace) {
    const int s = side, o = 1 - side;
    *status = EvalNormal;

    // Step 1. Draws by rule: no mating material, or fifty moves without progress.
    if ((pawnsOf(pos, White) == 0 && pawnsOf(pos, Black) == 0 && pos.nonPawnMaterial <= 350) ||
        pos.halfmoveClock >= 100) {
        *status = EvalLeaf;
        return drawScore(pos, ply);
    }

    // Step 2. A king that can be taken means the last move was illegal. The maps
    // that the piece terms and the move generators read are built when they do.
    if (pos.nonPawnMaterial != 0) {
        if (board::isAttackedBy(pos, s, pos.pieceList[o][0])) {
            *status = EvalExact;
            return board::KingCaptureScore;
        }
        if (moveIn && board::isAttackedBy(pos, o, pos.pieceList[s][0])) moveIn->move |= board::MoveCheck;
    } else {
        const int ownKing = pos.pieceList[s][0], enemyKing = pos.pieceList[o][0];
        const SquareSet* attackers[2] = {pawnEvaluator().whitePawnAttackers, pawnEvaluator().blackPawnAttackers};
        if (distance[ownKing][enemyKing] < 2 || (attackers[s][enemyKing] & pos.pieceSet[s][Pawn])) {
            *status = EvalExact;
            return board::KingCaptureScore;
        }
        if ((attackers[o][ownKing] & pos.pieceSet[o][Pawn]) && moveIn) moveIn->move |= board::MoveCheck;
    }

    // Step 3. Tablebases know the exact value; mates count from here.
    if (pos.menCount[White] + pos.menCount[Black] + 2 <= pos.tbMenLimit) {
        const int r = egtb::probeTablebase(pos, s);
        if (r != board::NoTablebaseInfo) {
            *status = EvalExact;
            return tablebaseScoreAtPly(pos, r, ply);
        }
    }

    const int* M = pos.materialSum;

    // Step 4. Against a bare king: drive it to the edge and bring the kings together.
    for (int x = White; x <= Black; ++x) {
        if (pos.menCount[x] != 0 || pawnsOf(pos, 1 - x) != 0) continue;
        const int v = M[1 - x] - M[x] + 1040 - 4 * distance[pos.pieceList[x][0]][pos.pieceList[1 - x][0]] -
                      BareKingCentre[pos.pieceList[x][0]];
        return x == s ? -v : v;
    }

    // The phase also weighs the pawn structure, so it is set before pawn endings
    // are scored too.
    gamePhase = gamePhaseOf(pos.nonPawnMaterial);

    // Step 5. Kings and pawns: material, structure and the race.
    if (pos.nonPawnMaterial == 0) {
        line.positionalAtPly[ply] = ply > 0 ? -line.positionalAtPly[ply - 1] : 0;
        return M[s] - M[o] + 10 + pawnStructureScore(pos, s) + pawnRaceTerm(pos, s);
    }

    // Step 6. A mate search only counts material; at its horizon a king in check
    // with a flight square ends the line, one without goes on being searched.
    if (line.mateLimit != NoMateLimit) {
        const int difference = M[s] - M[o];
        if (ply < line.mateLimit) return difference;
        board::ensureAttackMaps(pos);
        if (ply > line.mateLimit || pos.attackMapOf(o)[pos.pieceList[s][0]] == 0) {
            *status = EvalLeaf;
            return difference;
        }
        const int king = pos.pieceList[s][0];
        for (int t = board::nextSquare[King][king][king]; t != king; t = board::nextSquare[King][king][t]) {
            if (pos.attackMapOf(o)[t] == 0 && pos.squares[t].colour != s) {
                *status = EvalLeaf;
                return difference;
            }
        }
        return difference;
    }

    // Step 7. The full evaluation.
    const int material = M[s] - M[o] + 10;
    const int pawns = pawnStructureScore(pos, s);
    int base = material + pawns;
    int passed = 0, shelter = 0, pair = 0;
    if (gamePhase > 1 && (pawnEvaluator().passedFiles[White] | pawnEvaluator().passedFiles[Black]))
        passed = passedPawnTerm(pos, s);
    if (gamePhase < 9) shelter = kingShelterTerm(pos, s);
    if (pos.pieceCount[Bishop + 8 * s] > 1) pair += 20;
    if (pos.pieceCount[Bishop + 8 * o] > 1) pair -= 20;
    base += passed + shelter + pair;

    // Lazy evaluation: the piece terms are only worth computing when they could
    // move the score across the bound; otherwise the parent's value stands in.
    int score;
    const int previous = ply > 0 ? line.positionalAtPly[ply - 1] : 0;
    const int estimate = base - previous;
    const int margin = lazyMargin(depthLimit, ply);
    if (ply == 0 || trace || (estimate - margin <= bound && bound <= estimate + margin)) {
        board::ensureAttackMaps(pos);
        const int p = pieceTerms(pos, s);
        line.positionalAtPly[ply] = p;
        score = base + p;
    } else {
        line.positionalAtPly[ply] = -previous;
        score = estimate;
    }

    if (trace) {
        trace->material = material;
        trace->pawnStructure = pawns;
        trace->passedPawns = passed;
        trace->kingShelter = shelter;
        trace->bishopPair = pair;
        trace->pieceTerms[White] = tracePieceTerms(pos, White).total;
        trace->pieceTerms[Black] = tracePieceTerms(pos, Black).total;
    }

    // Drawish material corrections.
    score = rookAndMinorAgainstRook(pos, s, score);
    score = oneMinorEach(pos, s, ply, score);
    if (gamePhase == 10) score = endgameDraws(pos, s, ply, score, status);
    return score;
}

}  // namespace

int tablebaseScoreAtPly(const Position& pos, int r, int ply) {
    if (r == 0) return drawScore(pos, ply);
    return r > 0 ? r - ply : r + ply;
}

int lazyMargin(int depthLimit, int ply) {
    if (depthLimit > ply) return 180;
    const int margin = (depthLimit - ply) * 8 + 64;
    return margin < 32 ? 32 : margin;
}

int drawScore(const Position& pos, int ply) { return (ply & 1) ? -pos.drawValue : pos.drawValue; }

int pawnStructureScore(Position& pos, int side) {
    const int cached = pawnEvaluator().probePawnCache(pos, gamePhase, side);
    if (cached != board::NoScore) return cached;
    scorePawnsOf<White>(pos);
    scorePawnsOf<Black>(pos);
    return pawnEvaluator().finishPawnScore(pos, gamePhase, side, true);
}

int evaluate(Position& pos, EvalLine& line, int side, int bound, int depthLimit, int ply,
             board::ScoredMove* moveIn, int* status) {
    return evaluateWith(pos, line, side, bound, depthLimit, ply, moveIn, status, nullptr);
}

EvalTrace traceEvaluation(Position& pos, int side) {
    EvalTrace trace;
    EvalLine line;
    trace.score = evaluateWith(pos, line, side, 0, 1, 0, nullptr, &trace.status, &trace);
    trace.phase = gamePhase;
    return trace;
}

}  // namespace eval
