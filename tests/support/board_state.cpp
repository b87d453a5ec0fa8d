#include "support/board_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "board/make_move.h"
#include "board/position_record.h"
#include "eval/piece_square.h"

namespace testing_support {

using board::Board;

int setUpPosition(const std::string& fen) {
    board::PositionRecord* record = board::parseFen(fen.c_str());
    EXPECT_NE(record, nullptr) << fen;
    if (!record) return -1;
    Board.loadRecord(*record);
    EXPECT_TRUE(eval::prepareRoot(board::Board, Board.sideToMove)) << fen;
    return Board.sideToMove;
}

BoardSnapshot BoardSnapshot::take() {
    BoardSnapshot s;
    std::memcpy(s.squares, Board.squares, sizeof s.squares);
    s.castleRights = Board.castleRights;
    s.epSquare = Board.epSquare;
    s.halfmoveClock = Board.halfmoveClock;
    for (int c = 0; c < 2; ++c) {
        s.castled[c] = Board.castled[c];
        s.king[c] = Board.pieceList[c][0];
        s.men[c].assign(Board.pieceList[c] + 1, Board.pieceList[c] + 1 + Board.menCount[c]);
        std::sort(s.men[c].begin(), s.men[c].end());
        s.materialSum[c] = Board.materialSum[c];
        s.pawnSet[c] = Board.pawnSet[c];
    }
    std::memcpy(s.pieceCount, Board.pieceCount, sizeof s.pieceCount);
    s.nonPawnMaterial = Board.nonPawnMaterial;
    s.key = Board.key;
    s.pawnKey = Board.pawnKey;
    return s;
}

std::string BoardSnapshot::differences(const BoardSnapshot& o) const {
    std::ostringstream out;
    for (int sq = 0; sq < 64; ++sq)
        if (Board.squares[sq].piece != o.squares[sq].piece ||
            Board.squares[sq].colour != o.squares[sq].colour)
            out << " square " << sq;
    if (Board.castleRights != o.castleRights) out << " Board.castleRights";
    if (Board.epSquare != o.epSquare) out << " Board.epSquare";
    if (Board.halfmoveClock != o.halfmoveClock) out << " Board.halfmoveClock";
    for (int c = 0; c < 2; ++c) {
        if (Board.castled[c] != o.castled[c]) out << " Board.castled[" << c << "]";
        if (king[c] != o.king[c]) out << " king[" << c << "]";
        if (men[c] != o.men[c]) out << " Board.pieceList[" << c << "]";
        if (Board.materialSum[c] != o.materialSum[c]) out << " Board.materialSum[" << c << "]";
        if (Board.pawnSet[c] != o.pawnSet[c]) out << " Board.pawnSet[" << c << "]";
    }
    if (std::memcmp(Board.pieceCount, o.pieceCount, sizeof Board.pieceCount) != 0) out << " Board.pieceCount";
    if (Board.nonPawnMaterial != o.nonPawnMaterial) out << " Board.nonPawnMaterial";
    if (!(key == o.key)) out << " key";
    if (Board.pawnKey != o.pawnKey) out << " Board.pawnKey";
    return out.str();
}

BoardSnapshot freshDerivedState(int sideToMove) {
    // Everything the root preparation rewrites, saved so it can be put back.
    static int savedLists[2][16], savedMenCount[2], savedPieceCount[16], savedMaterial[2];
    static int savedAttacks[2][64], savedTables[2][8][64];
    static board::PlySlot savedSlots[board::PlySlots];
    std::memcpy(savedLists, Board.pieceList, sizeof savedLists);
    std::memcpy(savedMenCount, Board.menCount, sizeof savedMenCount);
    std::memcpy(savedPieceCount, Board.pieceCount, sizeof savedPieceCount);
    std::memcpy(savedMaterial, Board.materialSum, sizeof savedMaterial);
    std::memcpy(savedAttacks, Board.attackMap, sizeof savedAttacks);
    std::memcpy(savedTables, Board.pieceSquare, sizeof savedTables);
    std::memcpy(savedSlots, Board.slots, sizeof savedSlots);
    const int savedNonPawn = Board.nonPawnMaterial;
    const board::HashKey savedKey = Board.key;
    const uint64_t savedPawnSets[2] = {Board.pawnSet[0], Board.pawnSet[1]};
    const uint32_t savedPawnKey = Board.pawnKey;

    eval::prepareRoot(board::Board, sideToMove);
    BoardSnapshot fresh = BoardSnapshot::take();
    for (int c = 0; c < 2; ++c) fresh.materialSum[c] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (Board.squares[sq].colour != board::NoColour)
            fresh.materialSum[Board.squares[sq].colour] +=
                savedTables[Board.squares[sq].colour][Board.squares[sq].piece][sq];

    std::memcpy(Board.pieceList, savedLists, sizeof savedLists);
    std::memcpy(Board.menCount, savedMenCount, sizeof savedMenCount);
    std::memcpy(Board.pieceCount, savedPieceCount, sizeof savedPieceCount);
    std::memcpy(Board.materialSum, savedMaterial, sizeof savedMaterial);
    std::memcpy(Board.attackMap, savedAttacks, sizeof savedAttacks);
    std::memcpy(Board.pieceSquare, savedTables, sizeof savedTables);
    std::memcpy(Board.slots, savedSlots, sizeof savedSlots);
    Board.nonPawnMaterial = savedNonPawn;
    Board.key = savedKey;
    Board.pawnSet[0] = savedPawnSets[0];
    Board.pawnSet[1] = savedPawnSets[1];
    Board.pawnKey = savedPawnKey;
    return fresh;
}

}  // namespace testing_support
