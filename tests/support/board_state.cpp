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
    std::memcpy(s.squares, board::squares, sizeof s.squares);
    s.castleRights = board::castleRights;
    s.epSquare = board::epSquare;
    s.halfmoveClock = board::halfmoveClock;
    for (int c = 0; c < 2; ++c) {
        s.castled[c] = board::castled[c];
        s.king[c] = board::pieceList[c][0];
        s.men[c].assign(board::pieceList[c] + 1, board::pieceList[c] + 1 + board::menCount[c]);
        std::sort(s.men[c].begin(), s.men[c].end());
        s.materialSum[c] = board::materialSum[c];
        s.pawnSet[c] = board::pawnSet[c];
    }
    std::memcpy(s.pieceCount, board::pieceCount, sizeof s.pieceCount);
    s.nonPawnMaterial = board::nonPawnMaterial;
    s.key = board::positionKey;
    s.pawnKey = board::pawnKey;
    return s;
}

std::string BoardSnapshot::differences(const BoardSnapshot& o) const {
    std::ostringstream out;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].piece != o.squares[sq].piece || squares[sq].colour != o.squares[sq].colour)
            out << " square " << sq;
    if (castleRights != o.castleRights) out << " castleRights";
    if (epSquare != o.epSquare) out << " epSquare";
    if (halfmoveClock != o.halfmoveClock) out << " halfmoveClock";
    for (int c = 0; c < 2; ++c) {
        if (castled[c] != o.castled[c]) out << " castled[" << c << "]";
        if (king[c] != o.king[c]) out << " king[" << c << "]";
        if (men[c] != o.men[c]) out << " pieceList[" << c << "]";
        if (materialSum[c] != o.materialSum[c]) out << " materialSum[" << c << "]";
        if (pawnSet[c] != o.pawnSet[c]) out << " pawnSet[" << c << "]";
    }
    if (std::memcmp(pieceCount, o.pieceCount, sizeof pieceCount) != 0) out << " pieceCount";
    if (nonPawnMaterial != o.nonPawnMaterial) out << " nonPawnMaterial";
    if (!(key == o.key)) out << " key";
    if (pawnKey != o.pawnKey) out << " pawnKey";
    return out.str();
}

BoardSnapshot freshDerivedState(int sideToMove) {
    // Everything the root preparation rewrites, saved so it can be put back.
    static int savedLists[2][16], savedMenCount[2], savedPieceCount[16], savedMaterial[2];
    static int savedAttacks[2][64], savedTables[2][8][64];
    static board::PlySlot savedSlots[board::PlySlots];
    std::memcpy(savedLists, board::pieceList, sizeof savedLists);
    std::memcpy(savedMenCount, board::menCount, sizeof savedMenCount);
    std::memcpy(savedPieceCount, board::pieceCount, sizeof savedPieceCount);
    std::memcpy(savedMaterial, board::materialSum, sizeof savedMaterial);
    std::memcpy(savedAttacks, board::attackMap, sizeof savedAttacks);
    std::memcpy(savedTables, board::pieceSquare, sizeof savedTables);
    std::memcpy(savedSlots, board::plyState, sizeof savedSlots);
    const int savedNonPawn = board::nonPawnMaterial;
    const board::HashKey savedKey = board::positionKey;
    const uint64_t savedPawnSets[2] = {board::pawnSet[0], board::pawnSet[1]};
    const uint32_t savedPawnKey = board::pawnKey;

    eval::prepareRoot(board::Board, sideToMove);
    BoardSnapshot fresh = BoardSnapshot::take();
    for (int c = 0; c < 2; ++c) fresh.materialSum[c] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (board::squares[sq].colour != board::NoColour)
            fresh.materialSum[board::squares[sq].colour] +=
                savedTables[board::squares[sq].colour][board::squares[sq].piece][sq];

    std::memcpy(board::pieceList, savedLists, sizeof savedLists);
    std::memcpy(board::menCount, savedMenCount, sizeof savedMenCount);
    std::memcpy(board::pieceCount, savedPieceCount, sizeof savedPieceCount);
    std::memcpy(board::materialSum, savedMaterial, sizeof savedMaterial);
    std::memcpy(board::attackMap, savedAttacks, sizeof savedAttacks);
    std::memcpy(board::pieceSquare, savedTables, sizeof savedTables);
    std::memcpy(board::plyState, savedSlots, sizeof savedSlots);
    board::nonPawnMaterial = savedNonPawn;
    board::positionKey = savedKey;
    board::pawnSet[0] = savedPawnSets[0];
    board::pawnSet[1] = savedPawnSets[1];
    board::pawnKey = savedPawnKey;
    return fresh;
}

}  // namespace testing_support
