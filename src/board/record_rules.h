// The game's rules as they apply to position records: a move played on a record's
// letters, whether a record is a position the engine can search, and whether a
// king stands attacked on its letters. The game record (driver) and the replay of
// PGN games (book) both keep their positions this way, so that a book's keys are
// those the engine meets in play; what fails the playability test the game record
// refuses, and the searches of tools and tests never search it.
#pragma once
#include "board/position_record.h"

namespace board {

// A position the engine can search: one king per side, at most 16 men per side
// (the board's piece lists), no more men of a kind than promotions can give, no
// pawn on the first or last rank, and the side that just moved not left in check.
bool isPlayablePosition(const PositionRecord& record);
// The king of side stands attacked on the letters of the record.
bool kingAttacked(const PositionRecord& record, int side);

// Plays move (from, to and promotion fields; no legality test) on the record's
// letters and state words: castling moves the rook along and ends the side's
// rights, a rook leaving or taken on its corner ends its right, en passant takes
// the pawn beside, an en passant square is left only where an enemy pawn can take,
// the fifty-move counter restarts on captures, pawn moves and lost rights, and the
// side to move changes. The key is the caller's to compute.
void playOnRecord(PositionRecord& record, Move move);

}  // namespace board
