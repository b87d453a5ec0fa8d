// The one search position of the engine and the tables computed once at start-up.
//
// The board object itself holds only what the driver copies in (tablebase men limit,
// draw value) and the side to move; the position lives in plain global arrays that
// generation, make/unmake, attack maps and evaluation all work on in place. The
// derived state (piece lists, counts, material, keys) is rebuilt by the root
// preparation and then kept current by make and unmake.
//
// Ray tables: for a movement index m, a from-square s and a square t on one of its
// rays, nextSquare[m][s][t] is the next square of the same ray (or the first square
// of the next ray once a ray is used up) and nextDirection[m][s][t] the first square
// of the next ray. Both chains end by returning to s, so walks need no bounds tests.
#pragma once
#include <cstdint>

#include "board/position_record.h"
#include "board/types.h"

namespace board {

struct SquareContent {
    uint8_t piece;   // Empty .. King
    uint8_t colour;  // White, Black, or NoColour for an empty square
};

struct BoardState {
    int32_t tbMenLimit = 0;  // most men (kings included) the loaded tablebases cover
    int32_t drawValue = 0;   // DRAW_VALUE from the settings
    int32_t sideToMove = 0;

    BoardState();
    // Copies a record into the squares and state words; the derived state is left
    // to the root preparation.
    void loadRecord(const PositionRecord& record);
    // The key of the squares as they stand, with this object's side to move.
    HashKey hashKey() const;
};
extern BoardState Board;  // defined in driver/globals.cpp

// Builds the key tables (first call only), then the ray, distance and knight tables.
void initTables();

// ---- Position state -------------------------------------------------------------
extern SquareContent squares[64];
extern int castleRights;      // 1 white O-O, 2 white O-O-O, 4 black O-O, 8 black O-O-O
extern int epSquare;          // en passant target, 0 = none
extern int halfmoveClock;
extern int castled[2];
extern int pieceList[2][16];  // slot 0 the king, slots 1..menCount the other men
extern int menCount[2];
extern int pieceCount[16];    // by piece + 8 * colour, kings included
extern int nonPawnMaterial;   // pieceValue of every knight, bishop, rook and queen
extern int materialSum[2];    // piece-square entries (base value included) per side
extern HashKey positionKey;
extern int attackMap[2][64];  // per side, see board/attacks.h

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

inline bool isEmpty(int square) { return squares[square].colour == NoColour; }

}  // namespace board
