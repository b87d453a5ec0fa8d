// Setting up the engine's one board from FEN, and comparing everything on it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"

namespace testing_support {

// Loads the FEN into the board and runs the root preparation; returns the side to
// move. Fails the current test (and returns -1) when the FEN does not parse.
int setUpPosition(const std::string& fen);

// The position and all derived state, piece lists as sets of squares.
struct BoardSnapshot {
    board::SquareContent squares[64];
    int castleRights, epSquare, halfmoveClock, castled[2];
    int king[2];
    std::vector<int> men[2];  // slots 1..menCount, sorted
    int pieceCount[16], nonPawnMaterial, materialSum[2];
    board::HashKey key;
    uint32_t pawnKey;
    uint64_t pawnSet[2];

    static BoardSnapshot take();
    // A readable list of the fields that differ; empty when the two are equal.
    std::string differences(const BoardSnapshot& other) const;
};

// The derived state a fresh root preparation computes for the squares as they
// stand, with material sums taken from the piece-square tables now in force. The
// board, its lists in their current order and the save slots are left as they were.
BoardSnapshot freshDerivedState(int sideToMove);

}  // namespace testing_support
