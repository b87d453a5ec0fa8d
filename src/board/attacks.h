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
#include "base/assert.h"
#include "board/position.h"

namespace board {

// The kind bit of one direct attacker, by piece code.
extern const int attackWeight[8];
constexpr int AttackCountMask = 0xFF;

// Fills map (64 words) with the attacks of side's men on the squares of pos.
void computeAttackMap(Position& pos, int side, int* map);

// Both maps of pos's level from the squares, current from here on.
void buildAttackMaps(Position& pos);
// Both maps of pos's level, from the level below when its maps are current and the
// move between them is known (only the men the move touched, and the lines through
// the squares it changed, are counted again), from the squares otherwise.
void updateAttackMaps(Position& pos);
// Do both maps equal a build from the squares? (The invariant checks.)
bool attackMapsAreCurrent(Position& pos);
// Brings both maps of the current level up to date; every reader of the maps
// calls it first.
inline void ensureAttackMaps(Position& pos) {
    if (!pos.attackMapsCurrent()) updateAttackMaps(pos);
    TALVO_ASSERT(attackMapsAreCurrent(pos));
}
// Would side's map hold a non-zero word at square? The same answer without the
// map: an x-ray only ever reaches squares that the man in front attacks directly,
// and the enemy king is transparent here as well.
bool isAttackedBy(const Position& pos, int side, int square);

// The count of side's map at square (its low byte: direct attackers plus x-rays),
// without the map; for every square but the enemy king's.
int attackCount(const Position& pos, int side, int square);

// Checks read the opponent's map at the side's king (pieceList slot 0).
bool inCheck(const Position& pos, int side);
bool inDoubleCheck(const Position& pos, int side);

}  // namespace board
