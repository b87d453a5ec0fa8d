// The game's rules as they apply to position records: whether a record is a
// position the engine can search, and whether a king stands attacked on its
// letters. The game record refuses what fails here, and the searches of tools and
// tests, which take any text they are given, never search it.
#pragma once
#include "board/position_record.h"

namespace board {

// A position the engine can search: one king per side, at most 16 men per side
// (the board's piece lists), no more men of a kind than promotions can give, no
// pawn on the first or last rank, and the side that just moved not left in check.
bool isPlayablePosition(const PositionRecord& record);
// The king of side stands attacked on the letters of the record.
bool kingAttacked(const PositionRecord& record, int side);

}  // namespace board
