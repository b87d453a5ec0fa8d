// The engine's basic vocabulary: squares, square sets, pieces, colours, the packed
// move word, move-list entries, hash keys and the sentinels that stand for "no answer".
#pragma once
#include <cstdint>

namespace board {

// Squares run a1 = 0, b1 = 1, ... h8 = 63; file = square & 7, rank = square >> 3.
constexpr int fileOf(int square) { return square & 7; }
constexpr int rankOf(int square) { return square >> 3; }

// A set of squares in 64 bits: bit n stands for square n.
using SquareSet = uint64_t;
constexpr SquareSet squareBit(int square) { return SquareSet(1) << square; }

// Piece codes double as indices into every per-piece table.
enum Piece : int { Empty = 0, Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6 };
enum Colour : int { White = 0, Black = 1, NoColour = 2 };

// A move is a 32-bit word: from in bits 0-5, to in bits 6-11, promotion piece in
// bits 12-14, then flags. The low 16 bits identify the move; 0 is no move.
using Move = uint32_t;
constexpr Move NoMove = 0;
constexpr Move MoveCapture = 0x10000;
constexpr Move MoveCheck = 0x20000;
constexpr Move MoveCastle = 0x80000;
constexpr Move MovePawnSeventh = 0x100000;
constexpr Move MoveIdentity = 0xFFFF;

constexpr int moveFrom(Move m) { return int(m & 63); }
constexpr int moveTo(Move m) { return int((m >> 6) & 63); }
constexpr int movePromotion(Move m) { return int((m >> 12) & 7); }
constexpr Move makeMoveWord(int from, int to, int promotion = 0, Move flags = 0) {
    return Move(from) | Move(to) << 6 | Move(promotion) << 12 | flags;
}

// Every move list is an array of these: ordering score, then the move word.
struct ScoredMove {
    int32_t score;
    Move move;
};
static_assert(sizeof(ScoredMove) == 8);

// A 64-bit Zobrist key kept as two halves, low half first in memory, so that the
// byte order of a stored key is the order the opening book is sorted by.
// Bit 0 of the low half is the side to move.
struct HashKey {
    uint32_t low = 0;
    uint32_t high = 0;
    constexpr bool operator==(const HashKey&) const = default;
    constexpr HashKey& operator^=(const HashKey& o) {
        low ^= o.low;
        high ^= o.high;
        return *this;
    }
};
static_assert(sizeof(HashKey) == 8);

// Sentinels: no move, no score, no tablebase information.
constexpr int NoScore = 32000;
constexpr int NoTablebaseInfo = 99999;

// A score the side to move gets when it can capture the enemy king; mates at
// ply p are worth MateScore - p, and anything beyond MateBound is a mate score.
constexpr int KingCaptureScore = 30000;
constexpr int MateScore = 29999;
constexpr int MateBound = 28000;

}  // namespace board
