// Attack maps: for every square, how many men of one side attack it and of which
// kinds. A word holds the count in bits 0-7 (direct attackers plus x-rays) and one
// 4-bit counter per kind above it, cheapest kind highest:
//   pawns 28-31, knights 24-27, bishops 20-23, rooks 16-19, queens 12-15, kings 8-11.
// Compared as signed integers, a larger word therefore means "attacked by cheaper
// men, or by more of them", which move ordering relies on.
//
// The enemy king is transparent while a map is built, so the squares behind it on a
// checking line count as attacked and the king cannot step back along the line.
#pragma once
#include "board/position.h"

namespace board {

// The kind bit of one direct attacker, by piece code.
extern const int attackWeight[8];
constexpr int AttackCountMask = 0xFF;

// Fills map (64 words) with the attacks of side's men on the squares of pos.
void computeAttackMap(Position& pos, int side, int* map);

// Checks read the opponent's map at the side's king (pieceList slot 0).
bool inCheck(const Position& pos, int side);
bool inDoubleCheck(const Position& pos, int side);

}  // namespace board
