// The engine's main routine and the making of one move.
//
// After the global objects exist, runEngine takes the remaining start-up steps and
// then loops: it waits while the engine is in force mode or waiting for the
// opponent; otherwise it loads the game's current position, announces mate or
// stalemate when there is no legal move, thinks when the engine is to move (or
// analyses), and ponders on the predicted reply while the opponent thinks.
//
// A search stopped by a command unwinds without taking its moves back, so the
// board is reloaded from the game record every time before it is used again.
#pragma once
#include "board/types.h"

namespace driver {

// Room for the legal moves of any position (at most 218) and the closing 0.
constexpr int MaxLegalMoves = 256;

// Kilobytes for the transposition table from SIZE_HT megabytes, held in an int:
// sizes past the int range stay at its end (the table caps them further).
int tableKilobytes(int megabytes);
// The worth of a draw for the board, from DRAW_VALUE: at most a hundred pawns
// either way, so that a draw never looks like a mate and its negation (the
// opponent's view) always exists.
int boardDrawValue(int setting);

// Never returns; the process ends through "quit" or the end of input.
[[noreturn]] void runEngine();

// The legal moves of the position loaded on the board (low 16 bits, closed by 0),
// after the root preparation; inCheck tells whether the side to move is in check.
// Returns their number.
int listLegalMoves(board::Move* moves, bool* inCheck);

// The book's candidates for the game record's current position, gathered as the
// engine gathers them before it moves: each legal move of moves (a listLegalMoves
// list) is played and the position reached looked up. False, candidates untouched,
// when the current position itself is not in the book.
bool gatherBookCandidates(const board::Move* moves);

// Produces one move for the current position: from the book, or by a search (a
// ponder search when ponder is set, an analysis in analysis mode), then plays and
// sends it, announces a result and resigns when the rule says so. moves is the
// list of listLegalMoves for that position.
void think(const board::Move* moves, int ponder);

// The search part of think: the budget, the book, else the search, leaving the
// result in bestMove and ponderMove without playing it.
void searchForMove(const board::Move* moves, int ponder);

// Runs the root search on the loaded position, with the game's keys from
// keys[historyStart] through the current position for repetitions.
void startSearch(int historyStart);

}  // namespace driver
