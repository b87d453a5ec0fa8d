#include "eval/pawns.h"

#include <bit>
#include <cstring>

#include "board/board.h"
#include "board/types.h"

namespace eval {

using board::allPawns;
using board::fileOf;
using board::frontSpanDown;
using board::frontSpanUp;
using board::kingNeighbours;
using board::pawnKey;
using board::pawnSet;
using board::rankOf;

namespace {

// By rank 1..8 as White sees it (index 0..7); Black reads rank 7 - its rank.
constexpr int PassedBonus[8] = {0, 8, 12, 20, 40, 64, 104, 0};
constexpr int ProtectedPassedBonus[8] = {0, 0, 0, 4, 12, 32, 64, 0};
// An isolated pawn matters more in the endgame the nearer it stands to the centre.
constexpr int IsolatedEndgame[8] = {0, -2, -5, -10, -10, -5, -2, 0};

// A pawn held by an enemy pawn in front of it, by square for White; Black reads
// 63 - square. Centre pawns stuck on their home ranks choke the position most.
constexpr int BlockedPenalty[64] = {
    0, 0, 0,  0,  0,  0,  0, 0,  //
    1, 2, 10, 18, 18, 10, 2, 1,  //
    1, 1, 8,  16, 16, 8,  1, 1,  //
    0, 1, 5,  12, 12, 5,  1, 0,  //
    0, 0, 2,  4,  4,  2,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,
};

int countOf(SquareSet set) { return std::popcount(set); }

}  // namespace

void PawnEvaluatorState::resetPawnEvaluator() {
    pawnSet[0] = pawnSet[1] = 0;
    allPawns = 0;
    frontAttackSpan[0] = frontAttackSpan[1] = 0;
    pawnKey = 0;
    std::memset(cache, 0, sizeof cache);
    probePawnCache(0, 0);
}

void PawnEvaluatorState::buildMasks() {
    for (int f = 0; f < 8; ++f) {
        fileMask[f] = 0;
        for (int r = 0; r < 8; ++r) fileMask[f] |= squareBit(r * 8 + f);
    }
    for (int s = 0; s < 64; ++s) {
        int f = fileOf(s), r = rankOf(s);
        SquareSet neighbourFiles = (f > 0 ? fileMask[f - 1] : 0) | (f < 7 ? fileMask[f + 1] : 0);
        SquareSet ranksUpToHere = 0, ranksFromHere = 0;
        for (int t = 0; t < 64; ++t) {
            if (rankOf(t) <= r) ranksUpToHere |= squareBit(t);
            if (rankOf(t) >= r) ranksFromHere |= squareBit(t);
        }
        // On the last rank a supporter can only stand below.
        if (r == 7) ranksUpToHere &= ~(SquareSet(0xFF) << 56);
        if (r == 0) ranksFromHere &= ~SquareSet(0xFF);

        passedMaskWhite[s] = frontSpanUp[s];
        passedMaskBlack[s] = frontSpanDown[s];
        if (f > 0) {
            passedMaskWhite[s] |= frontSpanUp[s - 1];
            passedMaskBlack[s] |= frontSpanDown[s - 1];
        }
        if (f < 7) {
            passedMaskWhite[s] |= frontSpanUp[s + 1];
            passedMaskBlack[s] |= frontSpanDown[s + 1];
        }
        supportMaskWhite[s] = neighbourFiles & ranksUpToHere;
        supportMaskBlack[s] = neighbourFiles & ranksFromHere;
        adjacentFilesMask[s] = neighbourFiles;
        connectedMask[s] = neighbourFiles & kingNeighbours[s];
        sameFileMask[s] = frontSpanUp[s] | frontSpanDown[s];

        whitePawnAttackerLeft[s] = (f > 0 && s >= 9) ? squareBit(s - 9) : 0;
        whitePawnAttackerRight[s] = (f < 7 && s >= 7) ? squareBit(s - 7) : 0;
        blackPawnAttackerLeft[s] = (f > 0 && s + 7 < 64) ? squareBit(s + 7) : 0;
        blackPawnAttackerRight[s] = (f < 7 && s + 9 < 64) ? squareBit(s + 9) : 0;
        whitePawnAttackers[s] = whitePawnAttackerLeft[s] | whitePawnAttackerRight[s];
        blackPawnAttackers[s] = blackPawnAttackerLeft[s] | blackPawnAttackerRight[s];
    }
}

int PawnEvaluatorState::probePawnCache(int phase, int side) {
    allPawns = pawnSet[0] | pawnSet[1];
    const PawnCacheEntry& entry = cache[pawnKey & PawnCacheIndexMask];
    if (entry.pawnSet[0] == pawnSet[0] && entry.pawnSet[1] == pawnSet[1]) {
        for (int c = 0; c < 2; ++c) {
            frontAttackSpan[c] = entry.frontAttackSpan[c];
            passedFiles[c] = entry.passedFiles[c];
            weakFiles[c] = entry.weakFiles[c];
        }
        structureScore = entry.structureScore;
        endgameScore = entry.endgameScore;
        return finishPawnScore(phase, side, false);
    }
    for (int c = 0; c < 2; ++c) frontAttackSpan[c] = passedFiles[c] = weakFiles[c] = 0;
    structureScore = endgameScore = 0;
    return board::NoScore;
}

int PawnEvaluatorState::finishPawnScore(int phase, int side, bool store) {
    if (store) {
        PawnCacheEntry& entry = cache[pawnKey & PawnCacheIndexMask];
        for (int c = 0; c < 2; ++c) {
            entry.pawnSet[c] = pawnSet[c];
            entry.frontAttackSpan[c] = frontAttackSpan[c];
            entry.passedFiles[c] = passedFiles[c];
            entry.weakFiles[c] = weakFiles[c];
        }
        entry.structureScore = structureScore;
        entry.endgameScore = endgameScore;
    }
    // The endgame part counts 6/16 in the opening and in full at phase 10.
    int score = structureScore + ((phase + 6) * endgameScore) / 16;
    return side == 0 ? score : -score;
}

void PawnEvaluatorState::scoreWhitePawn(int s) {
    // A pawn on its last rank can only come from a hand-made position; it has no
    // stop square to look at.
    if (s >= 56) return;
    const SquareSet W = pawnSet[0], B = pawnSet[1];
    const int f = fileOf(s), r = rankOf(s), t = s + 8;
    int m = 0, e = 0;

    // 1. Squares this pawn may attack as it advances.
    frontAttackSpan[0] |= passedMaskWhite[s] & ~frontSpanUp[s];
    // 2. A pawn that can be taken right now is left to the search.
    if (B & blackPawnAttackers[s]) return;

    if (!(W & adjacentFilesMask[s])) {
        // 3. Isolated; worse when no enemy pawn in front hides it from rooks.
        m = (B & frontSpanUp[s]) ? -10 : -20;
        e = IsolatedEndgame[f];
        weakFiles[0] |= 1u << f;
    } else {
        // 4. Without a neighbour beside or diagonally next to it, slightly loose.
        if (!(W & connectedMask[s])) m = -2;
        // Backward: no friendly pawn level with or behind it on a neighbouring file.
        if (!(W & supportMaskWhite[s])) {
            if ((W | B) & squareBit(t)) {
                m -= 20;
                weakFiles[0] |= 1u << f;
            } else {
                int c = countOf(W & whitePawnAttackers[t]) - countOf(B & blackPawnAttackers[t]);
                if (c == -2) {
                    m -= 25;
                    weakFiles[0] |= 1u << f;
                } else if (c == -1) {
                    m -= 20;
                    weakFiles[0] |= 1u << f;
                } else if (!(W & supportMaskWhite[t])) {
                    m -= 8;
                    weakFiles[0] |= 1u << f;
                }
            }
        }
    }
    // 5. Doubled: each pawn of the pair pays.
    if (W & sameFileMask[s]) m -= 5;
    // 6. Passed, counted for the front pawn of its file only.
    if (!(B & passedMaskWhite[s]) && !(W & frontSpanUp[s])) {
        e += PassedBonus[r];
        if (W & whitePawnAttackers[s]) e += ProtectedPassedBonus[r];
        passedFiles[0] |= 1u << f;
    }
    // 7. Rammed by an enemy pawn: it costs unless a neighbouring pawn can come up
    // beside it (walking down its file over squares it could pass safely).
    if (B & squareBit(t)) {
        bool supported = (W & whitePawnAttackers[t]) != 0;
        if (!supported && f > 0 && (W & supportMaskWhite[s] & fileMask[f - 1])) {
            for (int n = s - 1; n >= 0; n -= 8) {
                if (W & squareBit(n)) {
                    supported = true;
                    break;
                }
                if (countOf(W & whitePawnAttackers[n]) - countOf(B & blackPawnAttackers[n]) < 0) break;
            }
        }
        if (!supported && f < 7 && (W & supportMaskWhite[s] & fileMask[f + 1])) {
            for (int n = s + 1; n >= 0; n -= 8) {
                if (W & squareBit(n)) {
                    supported = true;
                    break;
                }
                if (countOf(W & whitePawnAttackers[n]) - countOf(B & blackPawnAttackers[n]) < 0) break;
            }
        }
        if (!supported) m -= BlockedPenalty[s];
    }
    structureScore += m;
    endgameScore += e;
}

// The mirror image of scoreWhitePawn: "in front" is downwards, and Black's terms
// are subtracted from the sums.
void PawnEvaluatorState::scoreBlackPawn(int s) {
    if (s < 8) return;
    const SquareSet W = pawnSet[0], B = pawnSet[1];
    const int f = fileOf(s), r = 7 - rankOf(s), t = s - 8;
    int m = 0, e = 0;

    frontAttackSpan[1] |= passedMaskBlack[s] & ~frontSpanDown[s];
    if (W & whitePawnAttackers[s]) return;

    if (!(B & adjacentFilesMask[s])) {
        m = (W & frontSpanDown[s]) ? -10 : -20;
        e = IsolatedEndgame[f];
        weakFiles[1] |= 1u << f;
    } else {
        if (!(B & connectedMask[s])) m = -2;
        if (!(B & supportMaskBlack[s])) {
            if ((W | B) & squareBit(t)) {
                m -= 20;
                weakFiles[1] |= 1u << f;
            } else {
                int c = countOf(B & blackPawnAttackers[t]) - countOf(W & whitePawnAttackers[t]);
                if (c == -2) {
                    m -= 25;
                    weakFiles[1] |= 1u << f;
                } else if (c == -1) {
                    m -= 20;
                    weakFiles[1] |= 1u << f;
                } else if (!(B & supportMaskBlack[t])) {
                    m -= 8;
                    weakFiles[1] |= 1u << f;
                }
            }
        }
    }
    if (B & sameFileMask[s]) m -= 5;
    if (!(W & passedMaskBlack[s]) && !(B & frontSpanDown[s])) {
        e += PassedBonus[r];
        if (B & blackPawnAttackers[s]) e += ProtectedPassedBonus[r];
        passedFiles[1] |= 1u << f;
    }
    if (W & squareBit(t)) {
        bool supported = (B & blackPawnAttackers[t]) != 0;
        if (!supported && f > 0 && (B & supportMaskBlack[s] & fileMask[f - 1])) {
            for (int n = s - 1; n <= 63; n += 8) {
                if (B & squareBit(n)) {
                    supported = true;
                    break;
                }
                if (countOf(B & blackPawnAttackers[n]) - countOf(W & whitePawnAttackers[n]) < 0) break;
            }
        }
        if (!supported && f < 7 && (B & supportMaskBlack[s] & fileMask[f + 1])) {
            for (int n = s + 1; n <= 63; n += 8) {
                if (B & squareBit(n)) {
                    supported = true;
                    break;
                }
                if (countOf(B & blackPawnAttackers[n]) - countOf(W & whitePawnAttackers[n]) < 0) break;
            }
        }
        if (!supported) m -= BlockedPenalty[63 - s];
    }
    structureScore -= m;
    endgameScore -= e;
}

}  // namespace eval
