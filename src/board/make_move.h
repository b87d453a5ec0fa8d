// Make and unmake: playing a move on a position and taking it back.
//
// Everything derived from the squares is updated incrementally: piece lists,
// counts, non-pawn material, the material sums (through the root's piece-square
// tables), the hash key, the pawn sets and the pawn key. What cannot be reversed
// step by step is saved in a slot per ply and restored from it.
//
// Calls nest strictly: plies 0, 1, 2, ... are made in order and unmade in reverse.
// Unmake needs the position exactly as make left it.
//
// The list order is not restored: a captured man comes back in the last slot of its
// side's list, and the man that used to be last keeps the slot it was moved into.
// Generation order, and so the search, therefore depends on the path taken.
#pragma once
#include "board/position.h"
#include "board/types.h"

namespace board {

// Plays move for side, saving into slot ply. No legality test.
void makeMove(Position& pos, int side, int ply, Move move);
void unmakeMove(Position& pos, int ply);
// Passes the move (null-move search); the squares are untouched.
void makeNullMove(Position& pos, int side, int ply);
void unmakeNullMove(Position& pos, int ply);

// The key the position would have after side plays move, for loading its table
// entry into the cache ahead of time: exact for ordinary moves and captures, a
// guess for promotions, castling and en passant, where a wrong line in the cache
// only costs the time it took.
uint32_t keyLowAfter(const Position& pos, int side, Move move);

// The key and the fifty-move count the position would have after side plays move,
// exactly as makeMove leaves them, without making it: enough to look a child up in
// the table or the repetition history.
HashKey keyAfter(const Position& pos, int side, Move move);
int halfmoveClockAfter(const Position& pos, Move move);
// The piece lists as making and taking back move would leave them: a capture puts
// the taken man at the end of its side's list and the man from the end in its
// slot. The list order decides the order moves are generated in, so a search that
// looks at a move without making it must reorder as if it had.
void reorderAsIfMadeAndUnmade(Position& pos, int side, Move move);

}  // namespace board
