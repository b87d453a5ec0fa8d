#include "eval/pawns.h"

#include <bit>
#include <cstring>

#include "base/platform.h"
#include "board/board.h"
#include "board/types.h"

namespace eval {

using board::fileOf;
using board::frontSpanDown;
using board::frontSpanUp;
using board::kingNeighbours;
using board::Position;
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

// Where the engine's own evaluator keeps its cache when no block can be had at
// start-up; untouched memory otherwise.
PawnCacheEntry FallbackCache[PawnCacheEntries];

}  // namespace

PawnEvaluatorState::PawnEvaluatorState()
    : cache(static_cast<PawnCacheEntry*>(platform::allocateLargeBlock(sizeof(PawnCacheEntry) * PawnCacheEntries))),
      ownsCache(cache != nullptr) {
    if (!cache) cache = FallbackCache;
    resetPawnEvaluator();
    buildMasks();
}

PawnEvaluatorState::~PawnEvaluatorState() {
    if (ownsCache) platform::releaseLargeBlock(cache);
}

void PawnEvaluatorState::resetPawnEvaluator() {
    std::memset(cache, 0, sizeof(PawnCacheEntry) * PawnCacheEntries);
    for (int c = 0; c < 2; ++c) frontAttackSpan[c] = passedFiles[c] = weakFiles[c] = 0;
    structureScore = endgameScore = 0;
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

int PawnEvaluatorState::probePawnCache(Position& pos, int phase, int side) {
    pos.allPawns = pos.pieceSet[0][board::Pawn] | pos.pieceSet[1][board::Pawn];
    const PawnCacheEntry& entry = cache[pos.pawnKey & PawnCacheIndexMask];
    if (entry.pawns[0] == pos.pieceSet[0][board::Pawn] && entry.pawns[1] == pos.pieceSet[1][board::Pawn]) {
        for (int c = 0; c < 2; ++c) {
            frontAttackSpan[c] = entry.frontAttackSpan[c];
            passedFiles[c] = entry.passedFiles[c];
            weakFiles[c] = entry.weakFiles[c];
        }
        structureScore = entry.structureScore;
        endgameScore = entry.endgameScore;
        return finishPawnScore(pos, phase, side, false);
    }
    for (int c = 0; c < 2; ++c) frontAttackSpan[c] = passedFiles[c] = weakFiles[c] = 0;
    structureScore = endgameScore = 0;
    return board::NoScore;
}

int PawnEvaluatorState::finishPawnScore(const Position& pos, int phase, int side, bool store) {
    if (store) {
        PawnCacheEntry& entry = cache[pos.pawnKey & PawnCacheIndexMask];
        for (int c = 0; c < 2; ++c) {
            entry.pawns[c] = pos.pieceSet[c][board::Pawn];
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

template <int Us>
void PawnEvaluatorState::scorePawn(const Position& pos, int s) {
    constexpr int Them = 1 - Us;
    constexpr int Up = Us == 0 ? 8 : -8;  // one square towards the promotion rank
    // A pawn on its last rank can only come from a hand-made position; it has no
    // stop square to look at.
    if (Us == 0 ? s >= 56 : s < 8) return;

    // The masks that look forward, as this side moves; Black's terms are read from
    // the mirrored tables and subtracted from the sums. (Read through the members
    // themselves: the compiler then knows the stores below cannot change them.)
    auto frontSpan = [this](int sq) { return Us == 0 ? frontSpanUp[sq] : frontSpanDown[sq]; };
    auto passedMask = [this](int sq) { return Us == 0 ? passedMaskWhite[sq] : passedMaskBlack[sq]; };
    auto supportMask = [this](int sq) { return Us == 0 ? supportMaskWhite[sq] : supportMaskBlack[sq]; };
    // Where our (their) pawns stand when they attack a square.
    auto ourAttackers = [this](int sq) { return Us == 0 ? whitePawnAttackers[sq] : blackPawnAttackers[sq]; };
    auto theirAttackers = [this](int sq) {
        return Us == 0 ? blackPawnAttackers[sq] : whitePawnAttackers[sq];
    };

    const SquareSet ours = pos.pieceSet[Us][board::Pawn], theirs = pos.pieceSet[Them][board::Pawn];
    const int file = fileOf(s), rank = Us == 0 ? rankOf(s) : 7 - rankOf(s), stop = s + Up;
    // More of their pawns than ours bearing on a square: our pawn cannot go there.
    auto controlBalance = [&](int square) {
        return countOf(ours & ourAttackers(square)) - countOf(theirs & theirAttackers(square));
    };
    int structure = 0, endgame = 0;

    // 1. Squares this pawn may attack as it advances.
    frontAttackSpan[Us] |= passedMask(s) & ~frontSpan(s);
    // 2. A pawn that can be taken right now is left to the search.
    if (theirs & theirAttackers(s)) return;

    if (!(ours & adjacentFilesMask[s])) {
        // 3. Isolated; worse when no enemy pawn in front hides it from rooks.
        structure = (theirs & frontSpan(s)) ? -10 : -20;
        endgame = IsolatedEndgame[file];
        weakFiles[Us] |= 1u << file;
    } else {
        // 4. Without a neighbour beside or diagonally next to it, slightly loose.
        if (!(ours & connectedMask[s])) structure = -2;
        // Backward: no friendly pawn level with or behind it on a neighbouring file.
        if (!(ours & supportMask(s))) {
            if ((ours | theirs) & squareBit(stop)) {
                structure -= 20;
                weakFiles[Us] |= 1u << file;
            } else {
                const int balance = controlBalance(stop);
                if (balance == -2) {
                    structure -= 25;
                    weakFiles[Us] |= 1u << file;
                } else if (balance == -1) {
                    structure -= 20;
                    weakFiles[Us] |= 1u << file;
                } else if (!(ours & supportMask(stop))) {
                    structure -= 8;
                    weakFiles[Us] |= 1u << file;
                }
            }
        }
    }
    // 5. Doubled: each pawn of the pair pays.
    if (ours & sameFileMask[s]) structure -= 5;
    // 6. Passed, counted for the front pawn of its file only.
    if (!(theirs & passedMask(s)) && !(ours & frontSpan(s))) {
        endgame += PassedBonus[rank];
        if (ours & ourAttackers(s)) endgame += ProtectedPassedBonus[rank];
        passedFiles[Us] |= 1u << file;
    }
    // 7. Rammed by an enemy pawn: it costs unless a neighbouring pawn can come up
    // beside it (walking back down its file over squares it could pass safely).
    if (theirs & squareBit(stop)) {
        auto canComeUpFrom = [&](int square) {
            for (int n = square; Us == 0 ? n >= 0 : n <= 63; n -= Up) {
                if (ours & squareBit(n)) return true;
                if (controlBalance(n) < 0) return false;
            }
            return false;
        };
        bool supported = (ours & ourAttackers(stop)) != 0;
        if (!supported && file > 0 && (ours & supportMask(s) & fileMask[file - 1]))
            supported = canComeUpFrom(s - 1);
        if (!supported && file < 7 && (ours & supportMask(s) & fileMask[file + 1]))
            supported = canComeUpFrom(s + 1);
        if (!supported) structure -= BlockedPenalty[Us == 0 ? s : 63 - s];
    }
    if constexpr (Us == 0) {
        structureScore += structure;
        endgameScore += endgame;
    } else {
        structureScore -= structure;
        endgameScore -= endgame;
    }
}

template void PawnEvaluatorState::scorePawn<board::White>(const Position& pos, int square);
template void PawnEvaluatorState::scorePawn<board::Black>(const Position& pos, int square);

}  // namespace eval
