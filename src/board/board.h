// The fixed tables computed once at start-up, and the engine's own position.
//
// Ray tables: for a movement index m, a from-square s and a square t on one of its
// rays, nextSquare[m][s][t] is the next square of the same ray (or the first square
// of the next ray once a ray is used up) and nextDirection[m][s][t] the first square
// of the next ray. Both chains end by returning to s, so walks need no bounds tests.
#pragma once
#include <array>
#include <cstdint>

#include "board/position.h"
#include "board/position_record.h"
#include "board/types.h"

namespace board {

// The engine's own position: the one the game is played and searched on.
extern Position Board;  // defined in driver/globals.cpp

// Builds the key tables (first call only), then the ray, distance and knight tables.
void initTables();
// Builds the tables at start-up: its one object is made in driver/globals.cpp.
struct FixedTablesState {
    FixedTablesState() { initTables(); }
};
extern FixedTablesState FixedTables;

// ---- Fixed tables ---------------------------------------------------------------
// Movement index by piece + 8 * colour: 1 white pawn, 7 black pawn, 2..6 knight..king.
extern const int movementIndex[16];
extern const int pieceValue[8];
extern const int isSlider[8];
extern uint8_t nextSquare[8][64][64];
extern uint8_t nextDirection[8][64][64];
extern int distance[64][64];
extern int squareColour[64];  // 1 on dark squares (a1 is dark)
extern int knightPair[64][64];
// Square masks, by square: the king's ring, and the squares ahead on the file
// towards rank 8 (up) and towards rank 1 (down).
extern const std::array<SquareSet, 64> kingNeighbours;
extern const std::array<SquareSet, 64> frontSpanUp;
extern const std::array<SquareSet, 64> frontSpanDown;

}  // namespace board
