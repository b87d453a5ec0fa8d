// Tablebase position indexing: where a position's byte lies in its table file.
//
// Every index is a mixed-radix number. The board is first brought to a normal form
// by symmetry: without pawns the side to move's king (K1) goes to the triangle
// a1-d1-d4 (files, ranks and the long diagonal may all be mirrored); with pawns only
// the files are mirrored, K1 goes to files a-d, and black's pawns are turned to walk
// up the board where the table wants them to. Part A numbers the king pair together
// with the men of the side to move, each enumerated relative to the other king (K2):
// squares a man of that kind would check K2 from by contact are skipped, since the
// side not to move cannot be in check. The other side's men follow as plain digits
// over the squares still free. Positions with an en passant capture get their own
// section after all others. Squares no legal position needs are cut off the files.
#pragma once
#include <cstdint>

#include "egtb/registry.h"

namespace egtb {

constexpr uint32_t NoIndex = 0xFFFFFFFF;  // a placement no file holds (kings touching, a man off its range)

// Kinds of men as the enumerations see them: a black pawn (only K2's square is
// skipped), a white pawn, then knight to queen by their piece codes.
enum ManKind : int { BlackPawnKind = 0, WhitePawnKind = 1, KnightKind = 2, BishopKind, RookKind, QueenKind };

constexpr int KkPairs = 462;   // king pairs of the tables without pawns
constexpr int KpPairs = 1806;  // king pairs of the tables with pawns
constexpr int NoPair = 4000;   // marker of a pair that does not exist

// King pairs in the order of K1's square, then K2's; NoPair for touching kings, K1
// outside its region, or (without pawns) K2 above the diagonal when K1 is on it.
extern int16_t kkPairIndex[64][64];
extern int16_t kpPairIndex[64][64];

// Enumerations and their running sums, per kind of pair (0 without pawns, 1 with):
// enumeration[t][k][s] is the ordinal of square s for a man of kind t beside a king
// on k (255 when skipped) and count[t][k] the number of squares enumerated; base1 and
// base2 hold, per pair, how many placements of one man, or two, all earlier pairs
// take, and total1/total2 the same over all pairs.
struct IndexTablesState {
    uint8_t enumeration[6][64][64];
    uint8_t count[6][64];
    uint32_t base1[2][6][KpPairs];
    uint32_t base2[2][6][6][KpPairs];
    uint32_t total1[2][6];
    uint32_t total2[2][6][6];
    bool built;
};
extern IndexTablesState IndexTables;  // defined in indexing.cpp

// Builds the pair tables, the enumerations and their running sums; the first call
// does the work, later calls return at once.
void buildIndexTables();

// The index function of one table side.
IndexFunction indexFunctionFor(int table, int side);

// Number of indices of a table side before the file sizes cut it: every normal
// position plus the en passant section (for tools that check the sizes).
uint64_t indexSpan(int table, int side);

}  // namespace egtb
