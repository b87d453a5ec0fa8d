// The one search position of the engine and the tables computed once at start-up.
//
// The board object itself holds only what the driver copies in (tablebase men limit,
// draw value) and the side to move; the position lives in plain global arrays that
// generation, make/unmake, attack maps and evaluation all work on in place. The
// derived state (piece lists, counts, material, pawn sets, keys, attack maps) is
// rebuilt from the squares by rebuildDerivedState, which the evaluation's root
// preparation calls, and then kept current by make and unmake.
//
// Ray tables: for a movement index m, a from-square s and a square t on one of its
// rays, nextSquare[m][s][t] is the next square of the same ray (or the first square
// of the next ray once a ray is used up) and nextDirection[m][s][t] the first square
// of the next ray. Both chains end by returning to s, so walks need no bounds tests.
#pragma once
#include <array>
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

// Rebuilds the derived state from the squares (piece lists, counts, non-pawn
// material, pawn sets and pawn key, attack maps, material sums with the
// piece-square tables as they stand, the hash key) and empties the ply slots.
// Returns false when the position cannot be held (a side without exactly one king,
// or with more than 16 men); the board must then not be searched, though nothing
// was written out of bounds.
bool rebuildDerivedState(int sideToMove);

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
extern SquareSet pawnSet[2];  // by side
extern uint32_t pawnKey;      // the pawn structure's key (pawnKeys of board/zobrist.h)
// The union of the two pawn sets as the evaluation's last pawn-cache probe saw it:
// refreshed by that probe (eval/pawns.h), not by make. The pawn-ending move
// ordering reads it as it stands.
extern SquareSet allPawns;
// The piece-square tables of the current root, by colour, piece code and square:
// built by the evaluation's root preparation (eval/piece_square.h). Make keeps the
// material sums with them and the move ordering scores moves with them.
extern int pieceSquare[2][8][64];

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

inline bool isEmpty(int square) { return squares[square].colour == NoColour; }

}  // namespace board
