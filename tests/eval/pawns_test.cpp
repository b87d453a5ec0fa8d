// Pawn structure: Black is scored as the mirror image of White.
#include "eval/pawns.h"

#include <gtest/gtest.h>

#include <random>

#include "board/position.h"
#include "board/types.h"

using eval::PawnEvaluator;
using eval::SquareSet;

namespace {

// Scores every pawn of the position's sets, from clean sums.
void scoreAllPawns(const board::Position& pos) {
    PawnEvaluator.structureScore = PawnEvaluator.endgameScore = 0;
    for (int c = 0; c < 2; ++c)
        PawnEvaluator.frontAttackSpan[c] = PawnEvaluator.passedFiles[c] = PawnEvaluator.weakFiles[c] = 0;
    for (int s = 0; s < 64; ++s) {
        if (pos.pieceSet[0][board::Pawn] & eval::squareBit(s)) PawnEvaluator.scorePawn<board::White>(pos, s);
        if (pos.pieceSet[1][board::Pawn] & eval::squareBit(s)) PawnEvaluator.scorePawn<board::Black>(pos, s);
    }
}

TEST(PawnStructure, BlackIsTheMirrorImageOfWhite) {
    std::mt19937_64 random(99);
    board::Position pos;
    for (int trial = 0; trial < 2000; ++trial) {
        const SquareSet inner = 0x00FFFFFFFFFFFF00ULL;
        SquareSet white = random() & random() & inner, black = random() & random() & inner & ~white;
        pos.pieceSet[0][board::Pawn] = white;
        pos.pieceSet[1][board::Pawn] = black;
        scoreAllPawns(pos);
        const int structure = PawnEvaluator.structureScore, endgame = PawnEvaluator.endgameScore;
        const uint32_t passed = PawnEvaluator.passedFiles[0], weak = PawnEvaluator.weakFiles[0];
        const SquareSet span = PawnEvaluator.frontAttackSpan[0];

        // Turn the board over rank by rank and swap the colours.
        pos.pieceSet[0][board::Pawn] = __builtin_bswap64(black);
        pos.pieceSet[1][board::Pawn] = __builtin_bswap64(white);
        scoreAllPawns(pos);
        ASSERT_EQ(PawnEvaluator.structureScore, -structure) << std::hex << white << " " << black;
        ASSERT_EQ(PawnEvaluator.endgameScore, -endgame);
        ASSERT_EQ(PawnEvaluator.passedFiles[1], passed);
        ASSERT_EQ(PawnEvaluator.weakFiles[1], weak);
        ASSERT_EQ(PawnEvaluator.frontAttackSpan[1], __builtin_bswap64(span));
    }
}

}  // namespace
