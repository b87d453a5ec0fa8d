// Zobrist keys. Every position's key is the XOR of random numbers for its men,
// castling rights and en passant square, with the side to move in bit 0 of the low
// half. The numbers come from a lagged Fibonacci generator with a fixed seed table,
// drawn in a fixed order, so the keys are the same in every build: opening book and
// learning files store them.
#pragma once
#include <cstdint>

#include "board/position.h"
#include "board/types.h"

namespace board {

extern HashKey pieceKeys[16][64];  // piece + 8 * colour, square
extern HashKey castleKeys[16];     // by castling set; castleKeys[15] is 0
extern HashKey epKeys[64];
extern uint32_t pawnKeys[2][64];   // colour, square: the pawn-structure key

// The next number of the key generator (used for nothing but the tables).
uint32_t nextRandom();
// Fills the tables; only the first call draws numbers.
void initKeyTables();
// Key of the squares, castling set and en passant square of pos, computed from scratch.
HashKey computeHashKey(const Position& pos, int sideToMove);

}  // namespace board
